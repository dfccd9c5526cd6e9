#include "remote/RemoteCommandDispatcher.h"

#include "remote/PrintfText.h"
#include "remote/RemoteCommand.h"
#include "remote/RemoteDirectoryCommands.h"
#include "remote/RemoteFileTransfers.h"
#include "remote/RemoteModeTexts.h"

#include <string>

namespace qel::remote {

namespace text = remote_text;

void performRemoteCommand(RemoteSession& session, std::string_view telegram) {
    // The CNC's texts are C strings: a NUL ends them.
    const std::string argument(
        commandArgument(telegram).substr(0, commandArgument(telegram).find('\0')));
    switch (recogniseCommand(telegram)) {
        case RemoteCommand::Message:
            session.log(printfText(text::kOperatorMessage, argument.c_str()));
            session.reply(text::kReplyDone);
            break;
        case RemoteCommand::Version:
            session.log(printfText(text::kConnected, text::kVersionName));
            session.reply(text::kReplyVersion);
            break;
        case RemoteCommand::LogOn:
            session.log(printfText(text::kConnected, argument.c_str()));
            session.reply(text::kReplyLogOn);
            break;
        case RemoteCommand::CncError:
            session.log(text::kInvalidCommand);
            break;
        case RemoteCommand::Format:
            session.reply(text::kReplyFormatRefused);
            session.log(text::kFormatDenied);
            break;
        case RemoteCommand::FreeSpace:
            serveFreeSpace(session, "R FR");
            break;
        case RemoteCommand::FreeSpaceRemote:
            serveFreeSpace(session, "M OK");
            break;
        case RemoteCommand::DirectoryEntry:
            serveDirectoryEntry(session, telegram);
            break;
        case RemoteCommand::Delete:
            serveDelete(session, telegram);
            break;
        case RemoteCommand::Lock:
            serveLock(session, telegram);
            break;
        case RemoteCommand::ReceiveFile:
            receiveFileFromCnc(session, telegram);
            break;
        case RemoteCommand::SendFile:
            sendFileToCnc(session, telegram);
            break;
        case RemoteCommand::TypeListing:
            serveTypeListing(session, telegram);
            break;
        case RemoteCommand::Unknown:
            session.reply(text::kReplyUnknownCommand);
            break;
    }
}

}  // namespace qel::remote
