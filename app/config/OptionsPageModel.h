// The rules of the settings sheet's Options page: the default folders, the editor and the three
// start-up options of the selected configuration.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "config/ConfigRecord.h"

namespace qel {

struct OptionsControls {
    std::string localFolder;
    std::string editor;
    bool connectAtStart = false;
    bool remoteAtStart = false;
    bool ignoreEmpty = false;
};

class OptionsPageModel {
  public:
    OptionsPageModel(std::span<ConfigRecord, kConfigSlots> configs, const uint32_t& currentConfig);

    void Fill();
    void TakeOver();

    // The CNC folder spin: through the memory types and "CNC" (0), round in both directions.
    void SpinUp();
    void SpinDown();
    int cncFolder() const { return cncFolder_; }
    // "CNC" or the memory type's name.
    std::string cncFolderText() const;

    // Browse starts from the edit's text, which is stored first. The folder without a trailing
    // separator, the editor as it is.
    std::string StoreFolderForBrowse();
    std::string StoreEditorForBrowse();

    OptionsControls& controls() { return controls_; }
    const OptionsControls& controls() const { return controls_; }

  private:
    ConfigRecord& record() { return configs_[currentConfig_]; }
    const ConfigRecord& record() const { return configs_[currentConfig_]; }

    std::span<ConfigRecord, kConfigSlots> configs_;
    const uint32_t& currentConfig_;
    OptionsControls controls_;
    int cncFolder_ = 0;
};

}  // namespace qel
