// The ten named configurations and the selected index, loaded from the settings file. The
// settings sheet owns one store while it is open; the main window builds one whenever it needs
// the configuration. Nothing is written except by GetCurrentConfig with saving,
// StoreCommandLineConfig and write().
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "config/ConfigRecord.h"
#include "config/OperatorMessages.h"

namespace qel {

inline constexpr const char* kSettingsCaption = "QEL Settings";
inline constexpr const char* kSettingsResetText =
    "Failed to open settings file, resetting to the default value.";
inline constexpr const char* kSettingsSaveFailedText = "Failed to save the settings.";

class SettingsStore {
  public:
    // Reads file. A file that is missing, unreadable or not exactly 18684 bytes long gives the
    // reset message and the built-in list, whose "Default" starts in programFolder. Texts without
    // NUL are cut to their field and a selected index outside 0..9 or naming a free slot
    // becomes 0; all other values are kept as they are.
    SettingsStore(std::filesystem::path file, std::string programFolder,
                  OperatorMessages& messages);

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // False when the built-in list is in use because the file could not be used.
    bool loadedFromFile() const { return loadedFromFile_; }
    const std::filesystem::path& file() const { return file_; }

    // The record block and the selected index the settings pages edit in place.
    std::span<ConfigRecord, kConfigSlots> configs() { return image_->configs; }
    std::span<const ConfigRecord, kConfigSlots> configs() const { return image_->configs; }
    uint32_t& currentConfig() { return image_->currentConfig; }
    uint32_t currentConfig() const { return image_->currentConfig; }

    // With save, writes the file first; then copies the selected record (0 when the index is
    // out of range or names a free slot) into out. False only when saving failed; the operator
    // has then been told and out is filled all the same.
    bool GetCurrentConfig(ConfigRecord& out, bool save);

    // Selects slot 1 and copies it into out. Writes nothing.
    void UseCommandLineConfig(ConfigRecord& out);

    // Selects slot 1, stores in there and writes the file. False when writing failed.
    bool StoreCommandLineConfig(const ConfigRecord& in);

    // Writes all ten slots (free ones as zero bytes) and the selected index. On failure tells
    // the operator "Failed to save the settings." with the file and the reason, and returns
    // false; memory stays as it is.
    bool write();

    // True when the file is no longer the one read (or last written) here: another program
    // replaced, changed, created or removed it since.
    bool changedOnDisk() const;

  private:
    // What tells one state of the file from another without reading it.
    struct FileStamp {
        bool exists = false;
        unsigned long long device = 0, inode = 0, size = 0;
        long long seconds = 0, nanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    };
    FileStamp stampNow() const;
    bool read();

    std::filesystem::path file_;
    OperatorMessages& messages_;
    std::unique_ptr<SettingsImage> image_;
    bool loadedFromFile_ = false;
    FileStamp stamp_;
};

}  // namespace qel
