// The preprocessing pass: `.define` macros and `.include` files, line by line
// before any compiling, and the dump of the expanded text.
#include "preprocess/preprocess.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/failure.h"
#include "scan/scanner.h"
#include "source/load.h"

namespace {

// One piece of a macro body: a run of its text (perhaps empty), then the use
// of a parameter behind it (`%n`, or a bare `%`, which takes the argument
// behind the one used last); the last piece may have none.
struct BodyPiece {
    enum Use : uint8_t { kNone, kNumbered, kNext };
    size_t offset;  // of the run, within the body
    size_t length;
    Use use;
    int number;  // of a `%n`
};

// One macro: its name (folded to lower case), its body, its parameter count.
struct Macro {
    std::string name;
    std::string body;
    int parameter_count = 0;
    // The body cut where it uses parameters, once at the definition: a call
    // then copies runs and arguments without reading the body's `%`s again.
    std::vector<BodyPiece> pieces;
    size_t run_bytes = 0;  // of all runs together
    size_t uses = 0;       // of parameters
};
// Ordered by decreasing name length, the newest first among equal lengths,
// so a longer name is always tried before a shorter one that begins it.
using MacroList = std::vector<Macro>;

// No line may grow past this through macros: a macro whose expansion feeds
// itself would otherwise fill the memory.
constexpr size_t kMaxExpandedLine = 16u << 20;

// Up to this many macros, a line's calls are found by a search for the first
// bytes of their names (a set of macros is then a bit mask).
constexpr size_t kScansWithoutIndex = 16;
static_assert(kScansWithoutIndex <= 32);

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

// Whether a macro's name (folded to lower case) stands at `at` of the text,
// in either case, given that its first `known` bytes do; `at` is within the
// text.
bool nameStandsAt(std::string_view text, size_t at, const std::string& name, size_t known = 0) {
    if (name.size() > text.size() - at) return false;
    for (size_t k = known; k < name.size(); ++k)
        if (foldCase(static_cast<unsigned char>(text[at + k])) != static_cast<unsigned char>(name[k])) return false;
    return true;
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

// Cuts a macro body into its runs of text and its parameter uses.
std::vector<BodyPiece> cutBody(const std::string& body) {
    std::vector<BodyPiece> pieces;
    for (size_t i = 0; i < body.size();) {
        const size_t run = std::min(body.find('%', i), body.size());
        BodyPiece piece{i, run - i, BodyPiece::kNone, 0};
        i = run;
        if (i < body.size()) {
            ++i;
            piece.use = readMacroNumber(body, i, piece.number) ? BodyPiece::kNumbered : BodyPiece::kNext;
        }
        pieces.push_back(piece);
    }
    return pieces;
}

// A text built by appending, in storage kept from line to line. Most pieces
// are a few bytes (a note, a number, a run of a macro body), which are copied
// without a call of memcpy: the call would cost more than the copy.
class TextBuilder {
public:
    void clear() { size_ = 0; }
    size_t size() const { return size_; }
    std::string_view view() const { return std::string_view(data_.get(), size_); }
    void append(std::string_view text) { written(copy(text, room(text.size()))); }

    // Where to write at most `most` more bytes; `written` then takes the
    // end of what was written.
    char* room(size_t most) {
        if (most > capacity_ - size_) grow(most);
        return data_.get() + size_;
    }
    void written(const char* end) { size_ = static_cast<size_t>(end - data_.get()); }

    // Copies the text to `to` and returns the end of the copy. Up to 16
    // bytes are moved as two words of a fixed size that overlap as much as
    // the length asks (the way memcpy itself copies short lengths), without
    // the call and without a loop.
    static char* copy(std::string_view text, char* to) {
        const char* from = text.data();
        const size_t n = text.size();
        if (n >= 8) {
            if (n > 16) {
                std::memcpy(to, from, n);
            } else {
                copyOverlapping<uint64_t>(from, n, to);
            }
        } else if (n >= 4) {
            copyOverlapping<uint32_t>(from, n, to);
        } else if (n >= 2) {
            copyOverlapping<uint16_t>(from, n, to);
        } else if (n == 1) {
            *to = *from;
        }
        return to + n;
    }

private:
    // Copies n bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as the first and
    // the last word of them.
    template <class Word>
    static void copyOverlapping(const char* from, size_t n, char* to) {
        Word first, last;
        std::memcpy(&first, from, sizeof(Word));
        std::memcpy(&last, from + n - sizeof(Word), sizeof(Word));
        std::memcpy(to, &first, sizeof(Word));
        std::memcpy(to + n - sizeof(Word), &last, sizeof(Word));
    }
    void grow(size_t more) {
        capacity_ = std::max({capacity_ * 2, size_ + more, size_t{256}});
        auto larger = std::make_unique_for_overwrite<char[]>(capacity_);
        if (size_) std::memcpy(larger.get(), data_.get(), size_);
        data_ = std::move(larger);
    }
    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// The bytes that end a macro argument: a comma, blank, line end or comment,
// and a byte 255. Looked up in a table: the test runs for every byte of
// every argument.
constexpr auto kArgumentEnds = [] {
    std::array<bool, 256> ends{};
    for (unsigned char c : {',', ' ', '\t', '\r', '\n', '/', '\xff'}) ends[c] = true;
    return ends;
}();

// One argument of a macro call: skip blanks, then the run up to a comma,
// blank, line end or comment.
inline size_t getMacroArg(std::string_view text, size_t at, std::string_view& argument) {
    while (at < text.size() && isSpaceOrTab(text[at])) ++at;
    if (at < text.size() && text[at] == '/') {
        // A comment: the argument is empty and the call reaches the line
        // end, which stays, so the next line is not joined to this one.
        at = std::min(text.find_first_of("\r\n", at), text.size());
    }
    size_t start = at;
    while (at < text.size() && !kArgumentEnds[static_cast<unsigned char>(text[at])]) ++at;
    argument = std::string_view(text.data() + start, at - start);
    return at;
}

// The replacement of one call: the body with each `%` (or `%n`) replaced by
// its argument, given piece by piece to `put`. appendReplacement writes it
// behind a text; `longest` is the length of the longest argument, so that
// room for the whole replacement is made once.
template <class Put>
void putReplacement(const Macro& macro, std::span<const std::string_view> arguments, Put put) {
    size_t next = 0;  // the argument a bare `%` takes
    const char* body = macro.body.data();
    for (const BodyPiece& piece : macro.pieces) {
        put(std::string_view(body + piece.offset, piece.length));
        size_t chosen;
        if (piece.use == BodyPiece::kNumbered) {
            if (arguments.empty()) continue;
            chosen = piece.number < 1 ? 0 : std::min(static_cast<size_t>(piece.number), arguments.size()) - 1;
        } else if (piece.use == BodyPiece::kNext) {
            if (next >= arguments.size()) continue;
            chosen = next;
        } else {
            continue;
        }
        put(arguments[chosen]);
        next = chosen + 1;
    }
}

void appendReplacement(TextBuilder& out, const Macro& macro, std::span<const std::string_view> arguments,
                       size_t longest) {
    // The bound can be far above the replacement (an argument used often
    // short, one never used long): past what a line may hold, room is made
    // piece by piece instead.
    if (macro.uses != 0 && longest > kMaxExpandedLine / macro.uses) {
        putReplacement(macro, arguments, [&](std::string_view piece) { out.append(piece); });
        return;
    }
    char* to = out.room(macro.run_bytes + macro.uses * longest);
    putReplacement(macro, arguments, [&](std::string_view piece) { to = TextBuilder::copy(piece, to); });
    out.written(to);
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

// The calls a line holds, for a list of at most kScansWithoutIndex macros:
// the places where some macro's name stands, each with the set of those
// macros (bit m for the list's macro m), up to the first comment. One pass
// over the line finds both the places and the comment. Where the names begin
// with at most three different bytes once folded to lower case, as in most
// songs, the pass compares 32 bytes at a time with SSE2: a line then costs a
// few instructions per 32 bytes, less than a memchr per byte looked for.
class CallSpots {
public:
    // Files the first bytes of the names of the list as it stands (the list
    // only ever grows, so its size tells whether it changed).
    void prepare(const MacroList& macros) {
        if (filed_ == macros.size()) return;
        filed_ = macros.size();
        std::fill(std::begin(begins_), std::end(begins_), 0u);
        std::fill(std::begin(seconds_), std::end(seconds_), 0u);
        for (size_t m = 0; m < macros.size(); ++m) {
            const std::string& name = macros[m].name;
            const uint32_t bit = 1u << m;
            fileBothCases(begins_, static_cast<unsigned char>(name[0]), bit);
            if (name.size() == 1)
                for (uint32_t& second : seconds_) second |= bit;
            else
                fileBothCases(seconds_, static_cast<unsigned char>(name[1]), bit);
        }
        // The bytes compared, with bit 5 set: that folds a letter to lower
        // case. Other bytes may fold onto one of them; fileSpot passes them.
        bool folded[256] = {};
        for (int c = 0; c < 256; ++c)
            if (begins_[c]) folded[c | 0x20] = true;
        longest_name_ = 0;
        for (const Macro& macro : macros) longest_name_ = std::max(longest_name_, macro.name.size());
        needle_count_ = 0;
        for (int c = 0; c < 256; ++c) {
            if (!folded[c]) continue;
            if (needle_count_ < kNeedles) needles_[needle_count_] = static_cast<char>(c);
            ++needle_count_;
        }
    }

    // Finds the places from `from` on where the name of the list's macro
    // `after` or of a later one stands, up to the first `/` (the comment),
    // whose place goes to `callsEnd` (the end of the text when there is
    // none); returns the set of the macros found. When the text is a new
    // version of the one looked at last, from the same `from`, with its
    // first `unchanged` bytes as they were, the places whose names end
    // there are kept rather than found again.
    uint32_t find(std::string_view text, size_t from, const MacroList& macros, size_t after, size_t& callsEnd,
                  size_t unchanged = 0) {
        found_ = 0;
        wanted_ = ~0u << after;
        size_t at = from;
        size_t kept = 0;
        if (unchanged >= longest_name_) {
            const size_t last = unchanged - longest_name_;  // the last place whose names end in time
            for (size_t i = 0; i < spots_.size() && spots_[i].at <= last; ++i) {
                const uint32_t named = spots_[i].macros & wanted_;
                if (!named) continue;
                spots_[kept++] = {spots_[i].at, named};
                found_ |= named;
            }
            at = std::max(from, last + 1);
        }
        spots_.resize(kept);
#if defined(__SSE2__)
        switch (needle_count_) {
        case 1: return findWide<1>(text, at, macros, callsEnd);
        case 2: return findWide<2>(text, at, macros, callsEnd);
        case 3: return findWide<3>(text, at, macros, callsEnd);
        default: break;
        }
#endif
        return findNarrow(text, at, macros, callsEnd);
    }
    // The first place at or behind `at` where the name of the list's macro
    // `m` stands, or `limit`. `cursor` (from 0 for each macro) keeps the
    // place of the last search: the calls are replaced left to right.
    size_t next(size_t at, size_t m, size_t& cursor, size_t limit) const {
        for (; cursor < spots_.size(); ++cursor) {
            const Spot& spot = spots_[cursor];
            if (spot.at >= at && (spot.macros & (1u << m))) return spot.at;
        }
        return limit;
    }

private:
    static constexpr size_t kNeedles = 3;

    // The pass a byte at a time.
    uint32_t findNarrow(std::string_view text, size_t at, const MacroList& macros, size_t& callsEnd) {
        for (; at < text.size(); ++at) {
            const unsigned char c = static_cast<unsigned char>(text[at]);
            if (c == '/') {
                callsEnd = at;
                return found_;
            }
            if (begins_[c]) fileSpot(text, at, macros);
        }
        callsEnd = text.size();
        return found_;
    }

#if defined(__SSE2__)
    // The pass 32 bytes at a time, for `N` bytes compared; lines shorter than
    // that go a byte at a time.
    template <size_t N>
    uint32_t findWide(std::string_view text, size_t at, const MacroList& macros, size_t& callsEnd) {
        const size_t size = text.size();
        if (size < 32) return findNarrow(text, at, macros, callsEnd);
        const char* base = text.data();
        const __m128i slash = _mm_set1_epi8('/');
        const __m128i lower = _mm_set1_epi8(0x20);
        __m128i needles[N];
        for (size_t i = 0; i < N; ++i) needles[i] = _mm_set1_epi8(needles_[i]);
        auto masks = [&](const char* bytes, unsigned& hits, unsigned& slashes) {
            const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
            const __m128i folded = _mm_or_si128(raw, lower);
            __m128i matches = _mm_cmpeq_epi8(folded, needles[0]);
            for (size_t i = 1; i < N; ++i) matches = _mm_or_si128(matches, _mm_cmpeq_epi8(folded, needles[i]));
            hits = static_cast<unsigned>(_mm_movemask_epi8(matches));
            slashes = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(raw, slash)));
        };
        // Looks at the 32 bytes from `chunk` but the first `seen`; true when
        // a comment begins among them.
        auto block = [&](size_t chunk, unsigned seen) {
            unsigned hits, slashes, hitsHigh, slashesHigh;
            masks(base + chunk, hits, slashes);
            masks(base + chunk + 16, hitsHigh, slashesHigh);
            uint32_t found = (hits | hitsHigh << 16) >> seen << seen;
            const uint32_t comments = (slashes | slashesHigh << 16) >> seen << seen;
            if (comments) found &= (1u << std::countr_zero(comments)) - 1;
            for (; found; found &= found - 1) fileSpot(text, chunk + static_cast<size_t>(std::countr_zero(found)), macros);
            if (!comments) return false;
            callsEnd = chunk + static_cast<size_t>(std::countr_zero(comments));
            return true;
        };
        for (; at + 32 <= size; at += 32)
            if (block(at, 0)) return found_;
        // The last block ends with the text, overlapping the one before.
        if (at < size && block(size - 32, static_cast<unsigned>(at - (size - 32)))) return found_;
        callsEnd = size;
        return found_;
    }
#endif

    struct Spot {
        size_t at;
        uint32_t macros;
    };
    // Files a macro under a byte of its name (folded to lower case) and the
    // byte's other case.
    static void fileBothCases(uint32_t (&table)[256], unsigned char folded, uint32_t bit) {
        table[folded] |= bit;
        if (folded >= 'a' && folded <= 'z') table[folded - ('a' - 'A')] |= bit;
    }
    // Notes the wanted macros whose names stand at `at`. Only the names that
    // begin with the first two bytes there (the tables tell) are compared
    // further: with a handful of macros that is mostly one.
    void fileSpot(std::string_view text, size_t at, const MacroList& macros) {
        uint32_t named = begins_[static_cast<unsigned char>(text[at])] & wanted_;
        if (at + 1 < text.size()) named &= seconds_[static_cast<unsigned char>(text[at + 1])];
        for (uint32_t left = named; left; left &= left - 1) {
            int m = std::countr_zero(left);
            if (!nameStandsAt(text, at, macros[static_cast<size_t>(m)].name, 2)) named &= ~(1u << m);
        }
        if (!named) return;
        spots_.push_back({at, named});
        found_ |= named;
    }
    size_t filed_ = static_cast<size_t>(-1);
    uint32_t begins_[256] = {};   // per byte: the macros whose names begin with it
    uint32_t seconds_[256] = {};  // per byte: the macros whose names have it second, or one byte only
    char needles_[kNeedles] = {};  // the first bytes of the names with bit 5 set, when at most three
    size_t needle_count_ = 0;      // of those bytes, even past three
    size_t longest_name_ = 0;
    std::vector<Spot> spots_;      // ascending
    uint32_t wanted_ = 0;          // the macros looked for
    uint32_t found_ = 0;           // those found
};

// Where a line's macro calls may stand: from its first non-blank (behind the
// name of a `.define`) up to a comment.
size_t expansionStart(std::string_view text) {
    size_t at = firstNonBlank(text);
    if (at < text.size() && text[at] == '.' && beginsWith(text, at, ".define")) {
        at += 7;
        while (at < text.size() && isSpaceOrTab(text[at])) ++at;
        while (at < text.size() && !isSpaceOrTab(text[at]) && !isLineEndOrZero(text[at])) ++at;
    }
    return at;
}

size_t callsEndOf(std::string_view text, size_t start) { return std::min(text.find('/', start), text.size()); }

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

// Buffers of the expansion, kept from line to line so that their storage is
// allocated once rather than for every line.
struct ExpansionScratch {
    // A changed line's last version and the one being built from it, in
    // turns; the line's text views the last until the line is joined.
    TextBuilder versions[2];
    size_t building = 0;
    std::vector<std::string_view> arguments;  // views into the line's text
    std::vector<std::pair<size_t, size_t>> inserted;  // ranges of the new text that came from bodies
    CallSpots spots;

    TextBuilder& newVersion() {
        building ^= 1;
        versions[building].clear();
        return versions[building];
    }
};

// Replaces every call of one macro in a line's text, left to right, into a
// new version of the text: `nextCall(at)` gives the place of the next call at or behind
// `at`, or `limit` when there is none. A call takes the arguments behind its
// name, so its replacement is not searched again. Returns the place of the
// first call, `kNoCall` when there was none; the new version is then the
// line's text.
constexpr size_t kNoCall = static_cast<size_t>(-1);
template <class NextCall>
size_t replaceCalls(vlsdata& line, const Macro& macro, size_t start, size_t limit, NextCall nextCall,
                  ExpansionScratch& scratch) {
    const std::string_view text = line.text;
    std::vector<std::string_view>& arguments = scratch.arguments;
    scratch.inserted.clear();
    TextBuilder* out = nullptr;  // taken at the first call
    size_t copied = 0;
    const size_t first = nextCall(start);
    for (size_t at = first; at < limit; at = nextCall(at)) {
        size_t end = at + macro.name.size();
        size_t count = 0;
        size_t longest = 0;
        while (static_cast<int>(count) < macro.parameter_count) {
            if (count == arguments.size()) arguments.emplace_back();
            end = getMacroArg(text, end, arguments[count]);
            longest = std::max(longest, arguments[count++].size());
            if (end >= text.size() || text[end] != ',') break;
            ++end;
        }
        if (!out) out = &scratch.newVersion();
        out->append(text.substr(copied, at - copied));
        size_t from = out->size();
        appendReplacement(*out, macro, std::span<const std::string_view>(arguments.data(), count), longest);
        scratch.inserted.emplace_back(from, out->size());
        if (out->size() + (text.size() - end) > kMaxExpandedLine)
            macroError(line, at, "macro expansion makes the line too long.");
        copied = at = end;
    }
    if (!out) return kNoCall;
    out->append(text.substr(copied));
    line.text = out->view();
    return first;
}

// Applies every macro, longest names first, to one line. A call is replaced
// by its expansion, which later macros see but the same macro does not scan
// again. The line is rebuilt once per macro that matches, so long lines with
// many calls stay linear.
void expandLine(vlsdata& line, const MacroList& macros, MacroIndex& index, ExpansionScratch& scratch) {
    if (macros.empty()) return;
    std::string_view text = line.text;
    // Where calls may stand; worked out again when a macro changed the line.
    size_t start = expansionStart(text);
    size_t callsEnd = text.size();
    if (macros.size() <= kScansWithoutIndex) {
        CallSpots& spots = scratch.spots;
        spots.prepare(macros);
        // The macros called, found again in the new text after each change;
        // those called nowhere are passed over.
        for (uint32_t called = spots.find(text, start, macros, 0, callsEnd); called;) {
            size_t m = static_cast<size_t>(std::countr_zero(called));
            size_t cursor = 0;
            auto nextCall = [&](size_t at) { return spots.next(at, m, cursor, callsEnd); };
            const size_t firstCall = replaceCalls(line, macros[m], start, callsEnd, nextCall, scratch);
            text = line.text;
            // The text before the first call is as it was; so are the
            // places found in it, unless calls now begin elsewhere. Where
            // calls begin depends on the bytes up to the start and on the
            // seven a `.define` would take there.
            const size_t newStart = firstCall >= start + 7 ? start : expansionStart(text);
            called = spots.find(text, newStart, macros, m + 1, callsEnd, newStart == start ? firstCall : 0);
            start = newStart;
        }
        return;
    }
    // With many macros the index spares the searches for macros the line
    // cannot hold.
    callsEnd = callsEndOf(text, start);
    index.prepare(macros);
    index.begin(text);
    for (size_t m = 0; m < macros.size() && index.next(m, m); ++m) {
        const Macro& macro = macros[m];
        unsigned char first = static_cast<unsigned char>(macro.name[0]);
        auto nextCall = [&](size_t at) {
            for (;; ++at) {
                at = findFolded(text, at, callsEnd, first);
                if (at >= callsEnd || beginsWith(text, at, macro.name)) return at;
            }
        };
        if (replaceCalls(line, macro, start, callsEnd, nextCall, scratch) == kNoCall) continue;
        text = line.text;
        // Later macros may find a name in the new text, or one that
        // reaches from the old text into it.
        for (const auto& range : scratch.inserted) index.add(text, range.first, range.second, m + 1);
        start = expansionStart(text);
        callsEnd = callsEndOf(text, start);
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

    macro.pieces = cutBody(macro.body);
    for (const BodyPiece& piece : macro.pieces) {
        macro.run_bytes += piece.length;
        if (piece.use != BodyPiece::kNone) ++macro.uses;
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
                 SourceTexts& texts, const SourceReader* reader) {
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
    texts.push_back(std::move(text));
    LineChain lines = makeLineBuf(texts.back(), files.back());
    chain.insert(chain.begin() + static_cast<std::ptrdiff_t>(index) + 1, std::make_move_iterator(lines.begin()),
                 std::make_move_iterator(lines.end()));
}

// Appends a finished line to the line buffer.
void joinLine(LineBuffer& out, const vlsdata& line) {
    out.line_starts.push_back(out.text.size());
    // Bytes of the buffer's own type are copied with one memmove, not one
    // by one.
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.text.data());
    out.text.insert(out.text.end(), bytes, bytes + line.text.size());
    out.lines.push_back(line.where);
}

}  // namespace

void expandMacroMain(LineChain& chain, LineFileChain& files, SourceTexts& texts, LineBuffer& out,
                     const SourceReader* reader) {
    MacroList macros;
    MacroIndex index;
    ExpansionScratch scratch;
    bool header = true;
    for (size_t i = 0; i < chain.size(); ++i) {
        const size_t first = i;
        expandLine(chain[i], macros, index, scratch);
        std::string_view text = chain[i].text;
        size_t at = firstNonBlank(text);
        // Only a dot or a parenthesis begins a line that matters here.
        const char lead = at < text.size() ? text[at] : '\0';
        if (lead == '.' && beginsWith(text, at, ".define")) {
            size_t last = defineMacro(chain, i, at + 7, macros);
            if (!header) {
                // In the track lines a definition leaves empty lines behind,
                // so the lines after it keep their numbers.
                for (size_t l = i; l <= last; ++l) chain[l].text = "\n";
            }
            i = last;
        } else if (lead == '.' && beginsWith(text, at, ".include")) {
            includeFile(chain, i, includeName(text, at), files, texts, reader);
        } else if (lead == '.' && beginsWith(text, at, ".track")) {
            header = false;
        } else if (lead == '(') {
            size_t next = at + 1;
            while (next < text.size() && isSpaceOrTab(text[next])) ++next;
            if (next < text.size() && (text[next] == 't' || text[next] == 'T')) header = false;
        }
        // These lines are finished: no later line changes them. They are
        // joined now, while the expansion of line i is still there.
        for (size_t l = first; l <= i; ++l) joinLine(out, chain[l]);
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
    // The lines are views into the files read until they are joined.
    SourceTexts texts;
    texts.push_back(std::move(text));
    LineChain chain = makeLineBuf(texts.front(), out.files.front());
    // Macros make a song's text a little longer, mostly: the buffer is made
    // large enough once, and grows only for texts that macros multiply.
    const size_t size = texts.front().size();
    out.text.reserve(size + size / 8 + 64);
    out.lines.reserve(chain.size());
    out.line_starts.reserve(chain.size());
    expandMacroMain(chain, out.files, texts, out, reader);
    out.text.insert(out.text.end(), 6, 255);
    return out;
}
