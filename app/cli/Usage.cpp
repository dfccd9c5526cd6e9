#include "cli/Usage.h"

namespace qel {

const char* const kQelUsage =
    "usage: qel [CONNECTION] COMMAND [ARGS]\n"
    "CONNECTION (one of; default: the selected configuration of the settings file)\n"
    "  -c, --config NAME      a named configuration of the settings file\n"
    "  -i, --ip HOST[:PORT]   TCP/IP client to HOST, PORT default 19000; the settings file is\n"
    "                         neither needed nor written\n"
    "COMMANDS\n"
    "  list TYPE              memory names of type TYPE (two characters, e.g. PM), one line each\n"
    "                         as NAME.TYPE; TYPE.TYPE when the CNC has only the whole memory\n"
    "  free                   the CNC's free memory in bytes\n"
    "  message TEXT...        show the text on the CNC screen\n"
    "  delete NAME...         delete memories given as NAME.TYPE or TYPE.TYPE\n"
    "  receive [--as NEWNAME] [--yes-all | --no-replace] [--verify] NAME...\n"
    "                         receive memories (NAME.TYPE, TYPE.TYPE) into files of the current\n"
    "                         folder; %-headed streams become one file per program; on a DataIO\n"
    "                         link NAME is the file for the tape\n"
    "  send [--as NEWNAME] [--yes-all | --no-replace] [--verify] FILE...\n"
    "                         send files of the current folder, one memory each\n"
    "                         --verify: read each memory once more and compare it byte for byte\n"
    "                         (TCP/IP has no block check); a difference fails (not on DataIO)\n"
    "  btr FILE...            behind-tape-reader sending of part programs (NAME.PM; not DataIO)\n"
    "                         Questions: --yes-all answers Yes to All, --no-replace keeps what\n"
    "                         exists; otherwise they are asked on a terminal, else answered "
    "Cancel\n"
    "  serve [DIR]            remote mode: the CNC drives and qel serves DIR (default: the\n"
    "                         current folder) until Ctrl+C or SIGTERM; log lines on standard\n"
    "                         output; with -i HOST:PORT qel listens on HOST:PORT for the CNC's\n"
    "                         call. Remote mode serves whoever reaches the port (listing, reading,\n"
    "                         writing, deleting files of DIR) unless it is limited with\n"
    "    --allow ADDRESS      (repeatable) serve only CNCs calling from ADDRESS\n"
    "  config list|show|select  the configurations of the settings file (qel config --help)\n"
    "  help                   this text\n"
    "Exit status: 0 done, 1 something failed, 2 usage error. QELVEVA_TRACE=1 traces telegrams.\n";

}  // namespace qel
