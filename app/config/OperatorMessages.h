// Telling the operator something: a message box in the desktop program, a line on standard
// error in qel. The caller fills in the text; the receiver only presents it.
#pragma once

#include <iosfwd>
#include <string_view>

namespace qel {

enum class MessageKind { Information, Warning, Error };

class OperatorMessages {
  public:
    virtual ~OperatorMessages() = default;
    // Shows text under caption and returns when the operator has taken note (OK).
    virtual void show(MessageKind kind, std::string_view caption, std::string_view text) = 0;

    void error(std::string_view caption, std::string_view text) {
        show(MessageKind::Error, caption, text);
    }
    void warning(std::string_view caption, std::string_view text) {
        show(MessageKind::Warning, caption, text);
    }
};

// Writes "<caption>: <text>" lines to a stream (standard error by default).
class StreamMessages : public OperatorMessages {
  public:
    StreamMessages();
    explicit StreamMessages(std::ostream& stream) : stream_(stream) {}
    void show(MessageKind kind, std::string_view caption, std::string_view text) override;

  private:
    std::ostream& stream_;
};

}  // namespace qel
