// The rules of the settings sheet's Communications page: the protocol, the line, the RXA/2
// timing, the DataIO "%" protocol and the TCP/IP addresses of the selected configuration. The
// controls' state lives here as plain values; the window mirrors it and writes the plain edits
// and check boxes back into controls() before TakeOver.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "config/ConfigRecord.h"

namespace qel {

// The entries of the "Protocol:" list.
enum class Protocol { Rxa2 = 0, DataIo = 1, Tcp = 2 };

struct SpeedEntry {
    std::string text;
    uint32_t bitsPerSecond = 0;  // 0: "Autodetect"
};

// Which controls a protocol shows.
struct CommunicationsVisibility {
    bool line = false;          // port, speed, parity with their labels
    bool dataIo = false;        // leader/trailer, "%" protocol with %A/%B, XOn/XOff and RTS/CTS
    bool rxa2Timing = false;    // time-out, retries, send delay
    bool versionCheck = false;  // CNC version check
    bool notify = false;        // notify the CNC user
    bool portSharing = false;
    bool tcp = false;  // destination address and port, server port
};

CommunicationsVisibility visibilityFor(Protocol protocol);

struct CommunicationsControls {
    int protocol = -1;     // position in the protocol list; -1 for a link type it has no entry for
    bool xonXoff = false;  // the DataIO flow control: XOn/XOff, else RTS/CTS
    int port = -1;         // position in "COM1:" ... "COM4:"
    std::vector<SpeedEntry> speeds;
    int speed = -1;
    bool parityEnabled = true;
    int parity = -1;  // -1: none selected
    // The four numbers with spin arrows, as typed.
    std::string timeout, retries, sendDelay, leaderTrailerSize;
    bool percentSupport = false;
    bool percentA = false;
    bool percentB = false;
    bool notify = false;
    bool portSharing = false;
    bool versionCheck = false;
    std::string ipAddress, destinationPort, serverPort;
};

// What a number edit holds, as the 16-bit field stores it: up to 19 characters of an optional
// "-" and decimal digits, wrapped to 16 bits without range check ("40000" gives -25536); 0 for
// anything else.
int16_t numberFieldValue(const std::string& text);

class CommunicationsPageModel {
  public:
    static constexpr int kPorts = 4;

    CommunicationsPageModel(std::span<ConfigRecord, kConfigSlots> configs,
                            const uint32_t& currentConfig);

    void Fill();
    void TakeOver();

    // The protocol list changed: the speed list is rebuilt for a serial protocol.
    void ChooseProtocol(Protocol protocol);
    void ChooseSpeed(int position);
    void ChooseParity(int position);
    // The "% Protocol support:" box clicked into state ticked.
    void SetPercentSupport(bool ticked);
    // The radio buttons: one ticked clears the other.
    void ChoosePercentA();
    void ChoosePercentB();

    CommunicationsControls& controls() { return controls_; }
    const CommunicationsControls& controls() const { return controls_; }
    CommunicationsVisibility visibility() const;
    bool percentChoicesEnabled() const { return controls_.percentSupport; }
    // The device COM port position + 1 is on, for the text beside the port list.
    static std::string portDevice(int position);

  private:
    ConfigRecord& record() { return configs_[currentConfig_]; }
    void rebuildSpeeds(Protocol protocol);
    void speedChanged();

    std::span<ConfigRecord, kConfigSlots> configs_;
    const uint32_t& currentConfig_;
    CommunicationsControls controls_;
    int rememberedParity_ = -1;  // the parity shown before autodetect greyed the list
};

}  // namespace qel
