#pragma once
// "air" files of both forms, shared by the reader's tests and the seeds of
// its fuzzer.
#include <string>

namespace airtest {

// Long form: a header with the frame rate and size, two actions, boxes for
// the action and for one frame, hexadecimal image ids and a loop point.
inline const std::string kLongForm =
    "1,25,64,48,\n"
    "[A]7,walk\n"
    "C3=1,0,0,5,5\n"
    "C1=1,10,20,30,40,0000ab12,2,3,-4,1,200\n"
    "0000AB13,3\n"
    "LP,0000ab14,65535\n"
    "\n"
    "[A]8,averyveryverylongname\n"
    "00000001,1\n"
    "\n";

// Compact form: a header, then one image id per line; an empty line ends an
// action.
inline const std::string kCompactForm = "10,30,2\r\n0000ab12\r\n0000ab13\n\n\n0000ab14\n\n";

}  // namespace airtest
