// What the link library's error codes mean, in the operator's words, and what is wrong with a
// serial device the library could not open. Shared by qel and the desktop program.
#pragma once

#include "client/LinkChannel.h"

#include <string>

namespace qel {

// "time-out: no telegram arrived in time" for 12; "unknown error" for a code the library never
// sets.
const char* linkErrorMeaning(int code);

// "link error 12 (time-out: no telegram arrived in time)"; "no link error reported" for 0.
std::string linkErrorText(int code);

// The device of COM port n: $CABLOR_COMn, else the port map's line, else /dev/ttyS<n-1>; empty
// for a port outside 1..4.
// The link library's own rule (cablor::ports).
std::string serialPortDevice(int port);

// Why the device would not open, without opening it: "no such device", "permission denied (add
// the user to the dialout group)", "held by another program (process 1234)", ...; empty when
// nothing is seen to be wrong.
std::string serialPortProblem(const std::string& device);

// Where a link goes, for messages: "127.0.0.1:19000", "COM2 (/dev/ttyUSB0)".
std::string describeLink(const LinkSettings& settings);

// linkErrorText(code), and for a serial port that failed to open (error 5) what is wrong with
// its device: "link error 5 (...): /dev/ttyS0: permission denied (add the user to the dialout
// group)". Any other failure on a serial port whose device has disappeared (a USB adapter pulled
// out) ends in "the device /dev/ttyUSB0 is gone".
std::string linkFailureText(int code, const LinkSettings& settings);

// "the device /dev/ttyUSB0 is gone" when the link is serial and its device has disappeared;
// empty otherwise.
std::string goneDeviceText(const LinkSettings& settings);
// A phrase of these as a sentence of its own: "The device /dev/ttyUSB0 is gone."
std::string asSentence(std::string phrase);

}  // namespace qel
