// Track assignment: `.ASSIGN`, `(A...)`, the channel reader, and the small
// reader of an IF number and a comment.
#include "header/assign.h"

#include "scan/diagnostics.h"
#include "scan/scanner.h"

Pos getIfnoAndComment(Pos p, char terminator, int& ifno, std::string& comment) {
    ifno = -1;
    comment.clear();
    p = skipBlanks(p);
    if (*p == '=') {
        p = skipBlanks(p + 1);
    } else if (*p != ',') {
        int32_t value = 0;
        int status = 0;
        p = getNumber(p, value, status);
        if (status == kNumberMalformed) vlserror("SYNTAX ERROR", lineStart(), p, kError, 1);
        if (status == kNumberRead) ifno = value;
    }
    p = skipBlanks(p);
    if (*p == ',') {
        Pos text = skipBlanks(p + 1);
        p = skipToRequired(text, std::string_view(&terminator, 1));
        comment.assign(reinterpret_cast<const char*>(text), p - text);
    }
    if (*p != terminator) vlserror("SYNTAX ERROR", lineStart(), p, kError, 1);
    return p;
}
