// A CNC played on a simulated serial device: acknowledges every telegram the PC sends and
// answers each one with a reply telegram produced by a callback (none when it returns "").
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SimulatedDevice.h"
#include "Telegram.h"

namespace testing_cnc {

using cablor::SimulatedDevice;

class SimulatedCnc {
  public:
    using Answer = std::function<std::string(const std::string& telegram)>;

    void attach(SimulatedDevice& device, Answer answer) {
        answer_ = std::move(answer);
        device.setResponder([this](SimulatedDevice& d, const uint8_t* bytes, int count) {
            onWrite(d, std::vector<uint8_t>(bytes, bytes + count));
        });
    }

    std::vector<std::string> received() {
        std::lock_guard guard(mutex_);
        return received_;
    }

  private:
    static std::vector<uint8_t> frame(const std::string& text) {
        std::vector<uint8_t> out{cablor::ctl::kDle, cablor::ctl::kStx};
        for (char c : text) {
            out.push_back(static_cast<uint8_t>(c));
            if (static_cast<uint8_t>(c) == cablor::ctl::kDle) out.push_back(cablor::ctl::kDle);
        }
        out.push_back(cablor::ctl::kDle);
        out.push_back(cablor::ctl::kEtx);
        out.push_back(cablor::blockCheck(reinterpret_cast<const uint8_t*>(text.data()),
                                         static_cast<int>(text.size())));
        return out;
    }

    // Reacts to one write call of the PC (one write per control byte or per whole block).
    void onWrite(SimulatedDevice& d, const std::vector<uint8_t>& bytes) {
        using namespace cablor::ctl;
        if (bytes.empty()) return;
        if (bytes.size() == 1 && bytes[0] == kEnq) {
            d.push({kDle, kAck0});
        } else if (bytes.size() >= 2 && bytes[0] == kDle && bytes[1] == kStx) {
            std::string text;
            for (size_t i = 2; i + 3 < bytes.size(); ++i) {
                text.push_back(static_cast<char>(bytes[i]));
                if (bytes[i] == kDle) ++i;
            }
            {
                std::lock_guard guard(mutex_);
                received_.push_back(text);
                pendingReply_ = answer_ ? answer_(text) : "";
            }
            d.push({kDle, kAck1});
        } else if (bytes.size() == 1 && bytes[0] == kEot) {
            std::lock_guard guard(mutex_);
            if (!pendingReply_.empty()) d.push({kEnq});
        } else if (bytes.size() == 2 && bytes[0] == kDle && bytes[1] == kAck0) {
            std::lock_guard guard(mutex_);
            auto f = frame(pendingReply_);
            d.push(f.data(), static_cast<int>(f.size()));
        } else if (bytes.size() == 2 && bytes[0] == kDle && bytes[1] == kAck1) {
            std::lock_guard guard(mutex_);
            pendingReply_.clear();
            d.push({kEot});
        }
    }

    std::mutex mutex_;
    Answer answer_;
    std::string pendingReply_;
    std::vector<std::string> received_;
};

}  // namespace testing_cnc
