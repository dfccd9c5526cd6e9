// The configuration's and the command line's messages ("QEL Settings", "Command line error")
// as message boxes of the desktop program, through the Prompter.
#pragma once

#include "config/OperatorMessages.h"
#include "panes/ui/Prompter.h"

namespace qel::ui {

class DesktopMessages final : public OperatorMessages {
  public:
    DesktopMessages(Prompter& prompter, QWidget* parent) : prompter_(prompter), parent_(parent) {}
    void show(MessageKind kind, std::string_view caption, std::string_view text) override {
        prompter_.tell(parent_, QString::fromUtf8(caption.data(), static_cast<int>(caption.size())),
                       QString::fromUtf8(text.data(), static_cast<int>(text.size())),
                       kind != MessageKind::Information);
    }

  private:
    Prompter& prompter_;
    QWidget* parent_;
};

}  // namespace qel::ui
