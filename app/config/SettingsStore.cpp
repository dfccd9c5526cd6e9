#include "config/SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "base/UniqueFd.h"
#include "config/ConfigDefaults.h"
#include "config/ConfigRules.h"
#include "config/ReplaceFile.h"

namespace qel {

SettingsStore::SettingsStore(std::filesystem::path file, std::string programFolder,
                             OperatorMessages& messages)
    : file_(std::move(file)), messages_(messages), image_(std::make_unique<SettingsImage>()) {
    stamp_ = stampNow();
    loadedFromFile_ = read();
    if (!loadedFromFile_) {
        messages_.show(MessageKind::Warning, kSettingsCaption, kSettingsResetText);
        *image_ = builtInConfigList(programFolder);
        return;
    }
    for (ConfigRecord& record : image_->configs) terminateTexts(record);
    image_->currentConfig = selectableConfig(image_->configs, image_->currentConfig);
}

bool SettingsStore::read() {
    // Non-blocking, so that a FIFO or device named as the settings file cannot hang the start.
    const UniqueFd fd(::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return false;
    std::array<std::byte, kSettingsFileSize + 1> bytes;
    std::size_t have = 0;
    struct stat status {};
    bool ok = ::fstat(fd.get(), &status) == 0 && S_ISREG(status.st_mode) &&
              status.st_size == static_cast<off_t>(kSettingsFileSize);
    // Read one byte more than needed: a file that grew after fstat still fails the length rule.
    while (ok && have < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + have, bytes.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        have += static_cast<std::size_t>(got);
    }
    if (!ok || have != kSettingsFileSize) return false;
    std::memcpy(image_.get(), bytes.data(), kSettingsFileSize);
    return true;
}

bool SettingsStore::write() {
    std::array<std::byte, kSettingsFileSize> bytes{};  // free slots stay zero bytes
    SettingsImage& image = *image_;
    for (int slot = 0; slot < kConfigSlots; ++slot) {
        if (isUsed(image.configs[slot]))
            std::memcpy(bytes.data() + slot * sizeof(ConfigRecord), &image.configs[slot],
                        sizeof(ConfigRecord));
    }
    std::memcpy(bytes.data() + offsetof(SettingsImage, currentConfig), &image.currentConfig,
                sizeof(image.currentConfig));
    if (replaceFile(file_, bytes)) {
        stamp_ = stampNow();
        return true;
    }
    const int cause = errno;
    messages_.show(MessageKind::Error, kSettingsCaption,
                   std::string(kSettingsSaveFailedText) + "\n\n" + file_.string() + ": " +
                       std::strerror(cause));
    return false;
}

SettingsStore::FileStamp SettingsStore::stampNow() const {
    struct stat status {};
    if (::stat(file_.c_str(), &status) != 0) return {};
    return {true,
            static_cast<unsigned long long>(status.st_dev),
            static_cast<unsigned long long>(status.st_ino),
            static_cast<unsigned long long>(status.st_size),
            static_cast<long long>(status.st_mtim.tv_sec),
            static_cast<long long>(status.st_mtim.tv_nsec)};
}

bool SettingsStore::changedOnDisk() const {
    return stampNow() != stamp_;
}

bool SettingsStore::GetCurrentConfig(ConfigRecord& out, bool save) {
    image_->currentConfig = selectableConfig(image_->configs, image_->currentConfig);
    const bool saved = !save || write();
    out = image_->configs[image_->currentConfig];
    return saved;
}

void SettingsStore::UseCommandLineConfig(ConfigRecord& out) {
    image_->currentConfig = kCommandLineSlot;
    out = image_->configs[kCommandLineSlot];
}

bool SettingsStore::StoreCommandLineConfig(const ConfigRecord& in) {
    image_->currentConfig = kCommandLineSlot;
    image_->configs[kCommandLineSlot] = in;
    return write();
}

}  // namespace qel
