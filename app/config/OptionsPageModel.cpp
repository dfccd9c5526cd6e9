#include "config/OptionsPageModel.h"

#include "config/ConfigRules.h"
#include "config/FixedText.h"

namespace qel {

namespace {

void setOption(uint8_t& options, uint8_t bit, bool on) {
    options = on ? options | bit : static_cast<uint8_t>(options & ~bit);
}

std::string withoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    return path;
}

}  // namespace

OptionsPageModel::OptionsPageModel(std::span<ConfigRecord, kConfigSlots> configs,
                                   const uint32_t& currentConfig)
    : configs_(configs), currentConfig_(currentConfig) {}

void OptionsPageModel::Fill() {
    const ConfigRecord& r = record();
    controls_.localFolder = std::string(textOf(r.defaultLocalFolder));
    controls_.editor = std::string(textOf(r.editor));
    controls_.connectAtStart = (r.options & OPT_CONNECT_AT_START) != 0;
    controls_.remoteAtStart = (r.options & OPT_REMOTE_AT_START) != 0;
    controls_.ignoreEmpty = (r.options & OPT_IGNORE_EMPTY) != 0;
    cncFolder_ = cncFolderLevel(r);
}

void OptionsPageModel::TakeOver() {
    ConfigRecord& r = record();
    setText(r.defaultLocalFolder, controls_.localFolder);
    setText(r.editor, controls_.editor);
    r.defaultCncFolder = cncFolder_;
    setOption(r.options, OPT_CONNECT_AT_START, controls_.connectAtStart);
    setOption(r.options, OPT_REMOTE_AT_START, controls_.remoteAtStart);
    setOption(r.options, OPT_IGNORE_EMPTY, controls_.ignoreEmpty);
}

void OptionsPageModel::SpinUp() {
    const int count = memoryTypeCount(record());
    cncFolder_ = cncFolder_ < count ? cncFolder_ + 1 : 0;
}

void OptionsPageModel::SpinDown() {
    const int count = memoryTypeCount(record());
    cncFolder_ = cncFolder_ > 0 ? cncFolder_ - 1 : count;
}

std::string OptionsPageModel::cncFolderText() const {
    if (cncFolder_ <= 0 || cncFolder_ > memoryTypeCount(record())) return "CNC";
    return std::string(textOf(record().memoryTypes[cncFolder_ - 1].name));
}

std::string OptionsPageModel::StoreFolderForBrowse() {
    setText(record().defaultLocalFolder, controls_.localFolder);
    return withoutTrailingSeparator(std::string(textOf(record().defaultLocalFolder)));
}

std::string OptionsPageModel::StoreEditorForBrowse() {
    setText(record().editor, controls_.editor);
    return withoutTrailingSeparator(std::string(textOf(record().editor)));
}

}  // namespace qel
