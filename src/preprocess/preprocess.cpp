// The preprocessing pass: `.define` macros and `.include` files, line by line
// before any compiling, and the dump of the expanded text.
#include "preprocess/preprocess.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/failure.h"
#include "scan/scanner.h"
#include "source/load.h"

namespace {

// One macro: its name (folded to lower case), its body, its parameter count.
struct Macro {
    std::string name;
    std::string body;
    int parameter_count = 0;
};
// Ordered by decreasing name length, the newest first among equal lengths,
// so a longer name is always tried before a shorter one that begins it.
using MacroList = std::vector<Macro>;

// No line may grow past this through macros: a macro whose expansion feeds
// itself would otherwise fill the memory.
constexpr size_t kMaxExpandedLine = 16u << 20;

// Up to this many macros, each line is simply searched once per macro.
constexpr size_t kScansWithoutIndex = 16;

constexpr const char* kIncludeExtensions[] = {".vlc", nullptr};

bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }
bool isLineEndOrZero(char c) { return c == '\r' || c == '\n' || c == '\0'; }

size_t firstNonBlank(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isSpaceOrTab(text[i])) ++i;
    return i;
}

bool beginsWith(std::string_view text, size_t at, std::string_view keyword) {
    // A keyword does not reach past the text. No message is reported about
    // the line from here, so the position needs no reading.
    if (at > text.size() || keyword.size() > text.size() - at) return false;
    return matchKeyword(Pos(reinterpret_cast<const unsigned char*>(text.data()) + at, nullptr), keyword) == 0;
}

// Ends the preprocessing with a fault about one line of the chain.

[[noreturn]] void macroError(const vlsdata& line, size_t at, const char* message) {
    // The message shows the line up to its line end. A line can have none:
    // the last line of a file, or one whose line end a macro call took into
    // its argument. Such a line is shown from a copy that ends with one, so
    // the display stops at the end of the text.
    std::string shown(line.text);
    if (shown.find_first_of("\r\n\x1a\xff") == std::string::npos) shown += '\n';
    throw MacroFault{std::move(shown), line.where.file->file_name, line.where.line_number,
                     std::min(at, line.text.size()), message};
}

// A number behind `%` in a macro: an optional sign, then decimal digits or
// `$` and hexadecimal digits, within the line. Returns false when none stands
// there; `at` moves behind it.
bool readMacroNumber(std::string_view text, size_t& at, int& value) {
    size_t i = at;
    while (i < text.size() && isSpaceOrTab(text[i])) ++i;
    int sign = 1;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) sign = text[i++] == '-' ? -1 : 1;
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    }
    long n = 0;
    size_t digits = 0;
    for (; i < text.size(); ++i, ++digits) {
        unsigned char c = foldCase(static_cast<unsigned char>(text[i]));
        int d = (c >= '0' && c <= '9') ? c - '0' : (base == 16 && c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (d < 0) break;
        if (n < INT_MAX / 16) n = n * base + d;
    }
    if (digits == 0) return false;
    value = static_cast<int>(n * sign);
    at = i;
    return true;
}

// One argument of a macro call: skip blanks, then the run up to a comma,
// blank, line end or comment.
size_t getMacroArg(std::string_view text, size_t at, std::string& argument) {
    while (at < text.size() && isSpaceOrTab(text[at])) ++at;
    if (at < text.size() && text[at] == '/') {
        // A comment: the argument is empty and the call reaches the line
        // end, which stays, so the next line is not joined to this one.
        at = std::min(text.find_first_of("\r\n", at), text.size());
    }
    size_t start = at;
    while (at < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (c == ',' || c == ' ' || c == '\t' || c == 255 || c == '\r' || c == '\n' || c == '/') break;
        ++at;
    }
    argument.assign(text.substr(start, at - start));
    return at;
}

// The replacement of one call: the body with each `%` (or `%n`) replaced by
// its argument.
void appendReplacement(std::string& out, const std::string& body, std::span<const std::string> arguments) {
    size_t next = 0;  // the argument a bare `%` takes
    for (size_t i = 0; i < body.size();) {
        if (body[i] != '%') {
            size_t run = body.find('%', i);
            if (run == std::string::npos) run = body.size();
            out.append(body, i, run - i);
            i = run;
            continue;
        }
        ++i;
        int n = 0;
        size_t chosen;
        if (readMacroNumber(body, i, n)) {
            if (arguments.empty()) continue;
            chosen = n < 1 ? 0 : std::min(static_cast<size_t>(n), arguments.size()) - 1;
        } else {
            if (next >= arguments.size()) continue;
            chosen = next;
        }
        out += arguments[chosen];
        next = chosen + 1;
    }
}

// Finds which macros may occur in a line without trying each one: every
// macro is filed under the first three bytes of its name (folded to lower
// case; fewer for shorter names), and a line is looked up at each place
// where a macro name could begin. The macros found come out in list order.
class MacroIndex {
public:
    // Files the macros of the list as it stands (the list only ever grows,
    // so its size tells whether it changed).
    void prepare(const MacroList& macros) {
        if (filed_ == macros.size()) return;
        filed_ = macros.size();
        entries_.clear();
        std::fill(std::begin(firsts_), std::end(firsts_), false);
        lengths_ = 0;
        for (size_t i = 0; i < macros.size(); ++i) {
            const std::string& name = macros[i].name;
            size_t length = std::min<size_t>(name.size(), 3);
            entries_.emplace_back(keyOf(name, 0, length), static_cast<uint32_t>(i));
            firsts_[static_cast<unsigned char>(name[0])] = true;
            lengths_ |= 1u << length;
        }
        std::sort(entries_.begin(), entries_.end());
        queued_.assign(macros.size(), 0);
        pending_.clear();
    }
    // Starts the list of candidates afresh with those of a whole line.
    void begin(std::string_view text) {
        for (uint32_t m : pending_) queued_[m] = 0;
        pending_.clear();
        add(text, 0, text.size(), 0);
    }
    // Adds the macros after `after` in list order that may begin at a place
    // in [from - 2, to) of the text (a name may reach into the range).
    void add(std::string_view text, size_t from, size_t to, size_t after) {
        from = from >= 2 ? from - 2 : 0;
        to = std::min(to, text.size());
        for (size_t i = from; i < to; ++i) {
            if (pending_.size() + after >= filed_) return;  // every later macro is queued already
            if (!firsts_[foldCase(static_cast<unsigned char>(text[i]))]) continue;
            for (size_t length = 1; length <= 3 && i + length <= text.size(); ++length) {
                if (!(lengths_ & (1u << length))) continue;
                uint32_t key = keyOf(text, i, length);
                auto it = std::lower_bound(entries_.begin(), entries_.end(), std::make_pair(key, uint32_t{0}));
                for (; it != entries_.end() && it->first == key; ++it) {
                    if (it->second < after || queued_[it->second]) continue;
                    queued_[it->second] = 1;
                    pending_.push_back(it->second);
                    std::push_heap(pending_.begin(), pending_.end(), std::greater<>());
                }
            }
        }
    }
    // The next candidate in list order at or after `after`; false when none is left.
    bool next(size_t after, size_t& macro) {
        while (!pending_.empty()) {
            std::pop_heap(pending_.begin(), pending_.end(), std::greater<>());
            uint32_t m = pending_.back();
            pending_.pop_back();
            queued_[m] = 0;
            if (m >= after) {
                macro = m;
                return true;
            }
        }
        return false;
    }

private:
    static uint32_t keyOf(std::string_view text, size_t at, size_t length) {
        uint32_t key = static_cast<uint32_t>(length) << 24;
        for (size_t k = 0; k < length; ++k)
            key |= uint32_t{foldCase(static_cast<unsigned char>(text[at + k]))} << (16 - 8 * k);
        return key;
    }
    size_t filed_ = static_cast<size_t>(-1);
    std::vector<std::pair<uint32_t, uint32_t>> entries_;  // (key, macro), sorted
    bool firsts_[256] = {};
    unsigned lengths_ = 0;  // bit n: some name is filed under n bytes
    std::vector<uint32_t> pending_;  // a min-heap of macro numbers, each at most once
    std::vector<char> queued_;       // per macro: in `pending_`
};

// Where a line's macro calls may stand: from its first non-blank (behind the
// name of a `.define`) up to a comment.
size_t expansionStart(std::string_view text) {
    size_t at = firstNonBlank(text);
    if (beginsWith(text, at, ".define")) {
        at += 7;
        while (at < text.size() && isSpaceOrTab(text[at])) ++at;
        while (at < text.size() && !isSpaceOrTab(text[at]) && !isLineEndOrZero(text[at])) ++at;
    }
    return at;
}

// The first place in [at, limit) where the text holds `first` (a lower-case
// byte) in either case; `limit` when there is none.
size_t findFolded(std::string_view text, size_t at, size_t limit, unsigned char first) {
    if (at >= limit) return limit;
    const char* base = text.data();
    unsigned char upper = (first >= 'a' && first <= 'z') ? static_cast<unsigned char>(first - ('a' - 'A')) : first;
    const void* lo = std::memchr(base + at, first, limit - at);
    size_t end = lo ? static_cast<size_t>(static_cast<const char*>(lo) - base) : limit;
    if (upper != first && end > at) {
        const void* up = std::memchr(base + at, upper, end - at);
        if (up) end = static_cast<size_t>(static_cast<const char*>(up) - base);
    }
    return end;
}

// Applies every macro, longest names first, to one line. A call is replaced
// by its expansion, which later macros see but the same macro does not scan
// again. The line is rebuilt once per macro that matches, so long lines with
// many calls stay linear.
// Buffers of the expansion, kept from line to line so that their storage is
// allocated once rather than for every line.
struct ExpansionScratch {
    std::string out;
    std::vector<std::string> arguments;
    size_t argument_count = 0;
    std::vector<std::pair<size_t, size_t>> inserted;  // ranges of `out` that came from bodies
    // The different first bytes of the macro names (folded to lower case, as
    // the names are), for the list when it had `first_bytes_of` entries.
    std::string first_bytes;
    size_t first_bytes_of = static_cast<size_t>(-1);
    std::vector<size_t> spots;  // where a name may begin in the line, ascending
};

// Collects the places in [from, to) of the text that hold, in either case,
// a byte that begins some macro name: a search per different first byte,
// after which each macro is looked for at those places only. A line without
// any holds no call.
void collectSpots(std::string_view text, size_t from, size_t to, const MacroList& macros, ExpansionScratch& scratch) {
    if (scratch.first_bytes_of != macros.size()) {
        scratch.first_bytes_of = macros.size();
        scratch.first_bytes.clear();
        for (const Macro& macro : macros)
            if (scratch.first_bytes.find(macro.name[0]) == std::string::npos) scratch.first_bytes += macro.name[0];
    }
    std::vector<size_t>& spots = scratch.spots;
    spots.clear();
    for (char first : scratch.first_bytes)
        for (size_t at = findFolded(text, from, to, static_cast<unsigned char>(first)); at < to;
             at = findFolded(text, at + 1, to, static_cast<unsigned char>(first)))
            spots.push_back(at);
    if (scratch.first_bytes.size() > 1) std::sort(spots.begin(), spots.end());
}

// The first spot at which the macro's name stands, or `limit`.
size_t firstCall(std::string_view text, const std::vector<size_t>& spots, const Macro& macro, size_t limit) {
    for (size_t at : spots)
        if (beginsWith(text, at, macro.name)) return at;
    return limit;
}

void expandLine(vlsdata& line, const MacroList& macros, MacroIndex& index, ExpansionScratch& scratch,
                ChainTexts& texts) {
    if (macros.empty()) return;
    std::string_view text = line.text;
    // With a handful of macros a search per macro is cheaper than the index;
    // with many, the index spares the searches for macros the line cannot hold.
    const bool indexed = macros.size() > kScansWithoutIndex;
    if (indexed) {
        index.prepare(macros);
        index.begin(text);
    }
    std::string& out = scratch.out;
    auto& inserted = scratch.inserted;
    // Where calls may stand; worked out again only when a macro changed the line.
    size_t start = expansionStart(text);
    size_t callsEnd = std::min(text.find('/', start), text.size());
    if (!indexed) {
        collectSpots(text, start, callsEnd, macros, scratch);
        if (scratch.spots.empty()) return;
    }
    for (size_t m = 0; m < macros.size(); ++m) {
        if (indexed && !index.next(m, m)) break;
        const Macro& macro = macros[m];
        unsigned char first = static_cast<unsigned char>(macro.name[0]);
        size_t limit = callsEnd;
        size_t at = indexed ? findFolded(text, start, limit, first) : firstCall(text, scratch.spots, macro, limit);
        if (at >= limit) continue;
        out.clear();
        inserted.clear();
        size_t copied = 0;
        bool changed = false;
        for (;;) {
            at = findFolded(text, at, limit, first);
            if (at >= limit) break;
            if (!beginsWith(text, at, macro.name)) {
                ++at;
                continue;
            }
            size_t end = at + macro.name.size();
            std::vector<std::string>& arguments = scratch.arguments;
            size_t& count = scratch.argument_count;
            count = 0;
            while (static_cast<int>(count) < macro.parameter_count) {
                if (count == arguments.size()) arguments.emplace_back();
                end = getMacroArg(text, end, arguments[count++]);
                if (end >= text.size() || text[end] != ',') break;
                ++end;
            }
            out.append(text.substr(copied, at - copied));
            size_t from = out.size();
            appendReplacement(out, macro.body, std::span(arguments.data(), count));
            inserted.emplace_back(from, out.size());
            if (out.size() + (text.size() - end) > kMaxExpandedLine)
                macroError(line, at, "macro expansion makes the line too long.");
            copied = at = end;
            changed = true;
        }
        if (changed) {
            out.append(text.substr(copied));
            line.text = text = texts.change(text, out);
            // Later macros may find a name in the new text, or one that
            // reaches from the old text into it.
            if (indexed)
                for (const auto& range : inserted) index.add(text, range.first, range.second, m + 1);
            start = expansionStart(text);
            callsEnd = std::min(text.find('/', start), text.size());
            if (!indexed) collectSpots(text, start, callsEnd, macros, scratch);
        }
    }
}

// Reads a `.define` from its line on. Returns the index of the line on which
// the definition ends.
size_t defineMacro(LineChain& chain, size_t index, size_t at, MacroList& macros) {
    auto lineText = [&](size_t i) { return chain[i].text; };
    // The name runs to the next blank or the end of the line.
    while (at < lineText(index).size() && isSpaceOrTab(lineText(index)[at])) ++at;
    size_t nameStart = at;
    while (at < lineText(index).size() && !isSpaceOrTab(lineText(index)[at]) && !isLineEndOrZero(lineText(index)[at])) ++at;
    Macro macro;
    for (size_t i = nameStart; i < at; ++i) macro.name += static_cast<char>(foldCase(static_cast<unsigned char>(lineText(index)[i])));
    if (macro.name.empty()) macroError(chain[index], at, "macro parameter definition error.");
    for (const Macro& other : macros)
        if (other.name == macro.name) macroError(chain[index], at, "same macro name is already used.");

    // Parameter declarations up to `{`: all `%n` (numbered) or all `%`.
    enum Style { kNone, kNumbered, kUnnumbered } style = kNone;
    size_t line = index;
    auto nextLine = [&]() {
        if (line + 1 >= chain.size()) macroError(chain[line], at, "macro definition is not closed.");
        ++line;
        at = 0;
    };
    for (;;) {
        std::string_view text = lineText(line);
        while (at < text.size() && (isSpaceOrTab(text[at]) || text[at] == ',')) ++at;
        if (at >= text.size() || isLineEndOrZero(text[at]) || text[at] == '/') {
            nextLine();
            continue;
        }
        if (text[at] == '{') break;
        if (text[at] != '%') macroError(chain[line], at + 1, "macro parameter definition error.");
        ++at;
        while (at < text.size() && isSpaceOrTab(text[at])) ++at;
        Style item = kUnnumbered;
        if (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            item = kNumbered;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
        }
        if (style != kNone && item != style) macroError(chain[line], at, "macro parameter definition error.");
        style = item;
        ++macro.parameter_count;
    }

    // The uses of `%` in the body, up to its first `}`.
    size_t bodyLine = line;
    size_t bodyAt = at + 1;
    int uses = 0;
    for (size_t l = bodyLine, i = bodyAt;;) {
        std::string_view text = lineText(l);
        if (i >= text.size()) {
            if (l + 1 >= chain.size()) macroError(chain[l], text.size(), "macro definition is not closed.");
            ++l;
            i = 0;
            continue;
        }
        if (text[i] == '}') break;
        if (text[i++] != '%') continue;
        int n = 0;
        if (readMacroNumber(text, i, n)) {
            if (style == kUnnumbered) macroError(chain[l], i, "macro contents mismatches(% and %n).");
            if (macro.parameter_count != 0 && n > macro.parameter_count)
                macroError(chain[l], i, "too large the parameter# is.");
        } else if (style == kNumbered) {
            macroError(chain[l], i, "macro contents mismatches(% and %n).");
        }
        ++uses;
        if (style == kUnnumbered && macro.parameter_count != 0 && uses > macro.parameter_count)
            macroError(chain[l], i, "too many parameters in macro contents.");
    }
    if (style == kNone && uses > 0) macro.parameter_count = uses;

    // The body: everything up to the matching `}`, without line ends and comments.
    int depth = 1;
    line = bodyLine;
    at = bodyAt;
    for (;;) {
        std::string_view text = lineText(line);
        if (at >= text.size() || isLineEndOrZero(text[at]) || text[at] == '/') {
            if (line + 1 >= chain.size()) macroError(chain[line], std::min(at, text.size()), "macro definition is not closed.");
            ++line;
            at = 0;
            continue;
        }
        char c = text[at++];
        if (c == '{') ++depth;
        if (c == '}' && --depth == 0) break;
        macro.body += c;
    }

    size_t place = 0;
    while (place < macros.size() && macros[place].name.size() > macro.name.size()) ++place;
    macros.insert(macros.begin() + static_cast<std::ptrdiff_t>(place), std::move(macro));
    return line;
}

// The name behind `.include`: printable, non-blank characters up to `/`.
std::string includeName(std::string_view text, size_t at) {
    at += 8;
    while (at < text.size() && isSpaceOrTab(text[at])) ++at;
    size_t start = at;
    while (at < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (c <= 0x20 || c == 0x7F || c == '/' || c == 255) break;
        ++at;
    }
    return std::string(text.substr(start, at - start));
}

std::string canonicalPath(const std::string& name) {
    char* resolved = ::realpath(name.c_str(), nullptr);
    if (!resolved) return name;
    std::string out = resolved;
    std::free(resolved);
    return out;
}

// Reads an included file and splices its lines in behind line `index`.
void includeFile(LineChain& chain, size_t index, const std::string& name, LineFileChain& files,
                 ChainTexts& texts, const SourceReader* reader) {
    const LINEFILEDATA* includer = chain[index].where.file;
    std::string opened = name;
    SourceText text = openSource(opened, kIncludeExtensions, reader);
    std::string identity = canonicalPath(opened);
    // A file that includes itself, directly or through others, would be read
    // again and again: stop and show the chain.
    for (const LINEFILEDATA* f = includer; f; f = f->includer) {
        std::string fileIdentity = f->identity.empty() ? canonicalPath(f->file_name) : f->identity;
        if (fileIdentity != identity) continue;
        std::string loop = opened;
        for (const LINEFILEDATA* g = includer; g; g = g->includer) loop = g->file_name + " -> " + loop;
        std::string message = "include loop: " + loop + ".";
        size_t at = firstNonBlank(chain[index].text);
        macroError(chain[index], at + 8, message.c_str());
    }
    files.push_back(LINEFILEDATA{opened, includer, identity});
    texts.files.push_back(std::move(text));
    LineChain lines = makeLineBuf(texts.files.back(), files.back());
    chain.insert(chain.begin() + static_cast<std::ptrdiff_t>(index) + 1, std::make_move_iterator(lines.begin()),
                 std::make_move_iterator(lines.end()));
}

}  // namespace

void expandMacroMain(LineChain& chain, LineFileChain& files, ChainTexts& texts, const SourceReader* reader) {
    MacroList macros;
    MacroIndex index;
    ExpansionScratch scratch;
    bool header = true;
    for (size_t i = 0; i < chain.size(); ++i) {
        expandLine(chain[i], macros, index, scratch, texts);
        std::string_view text = chain[i].text;
        size_t at = firstNonBlank(text);
        if (beginsWith(text, at, ".define")) {
            size_t last = defineMacro(chain, i, at + 7, macros);
            if (!header) {
                // In the track lines a definition leaves empty lines behind,
                // so the lines after it keep their numbers.
                for (size_t l = i; l <= last; ++l) chain[l].text = "\n";
            }
            i = last;
        } else if (beginsWith(text, at, ".include")) {
            includeFile(chain, i, includeName(text, at), files, texts, reader);
        } else if (beginsWith(text, at, ".track")) {
            header = false;
        } else if (at < text.size() && text[at] == '(') {
            size_t next = at + 1;
            while (next < text.size() && isSpaceOrTab(text[next])) ++next;
            if (next < text.size() && (text[next] == 't' || text[next] == 'T')) header = false;
        }
    }
}

void debugDump(const std::vector<unsigned char>& text) {
    FILE* file = std::fopen("debug.vls", "wb");
    if (!file) fatalExit(1, "can't open debug.vls.\n");
    size_t count = text.size() >= 6 ? text.size() - 6 : 0;
    std::fwrite(text.data(), 1, count, file);
    std::fclose(file);
}

LineBuffer v3macro(SourceText&& text, LineFileChain&& files, const SourceReader* reader) {
    LineBuffer out;
    out.files = std::move(files);
    // The lines are views into the texts read until the join copies them.
    ChainTexts texts;
    texts.files.push_back(std::move(text));
    LineChain chain = makeLineBuf(texts.files.front(), out.files.front());
    expandMacroMain(chain, out.files, texts, reader);
    joinLines(std::move(chain), out);
    return out;
}

void joinLines(LineChain&& chain, LineBuffer& out) {
    size_t total = 7;
    for (const vlsdata& line : chain) total += line.text.size();
    out.text.clear();
    out.text.reserve(total);
    out.lines.clear();
    out.lines.reserve(chain.size());
    out.line_starts.clear();
    out.line_starts.reserve(chain.size());
    for (vlsdata& line : chain) {
        out.line_starts.push_back(out.text.size());
        std::string_view text = line.text;
        out.text.insert(out.text.end(), text.begin(), text.end());
        out.lines.push_back(line.where);
    }
    chain.clear();
    out.text.insert(out.text.end(), 6, 255);
}
