#include "lsp/server.h"

#include <cctype>
#include <filesystem>
#include <optional>

#include <nlohmann/json.hpp>

#include "lsp/completion.h"
#include "lsp/document_check.h"
#include "lsp/hover.h"
#include "lsp/source_outline.h"
#include "lsp/text_positions.h"

using nlohmann::json;

namespace {

// JSON-RPC and LSP error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;

struct RpcError {
    int code;
    std::string message;
};

// Text from the sources may be no valid UTF-8 (a Shift_JIS include read
// from disk): such bytes go out as U+FFFD rather than stop the answer.
std::string serialise(const json& message) { return message.dump(-1, ' ', false, json::error_handler_t::replace); }

std::string errorResponse(const json& id, int code, const std::string& message) {
    return serialise({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

std::string notificationMessage(const std::string& method, json params) {
    return serialise({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

json position(int line, int character) { return {{"line", line}, {"character", character}}; }
json rangeJson(const LineRange& range) {
    return {{"start", position(range.line, range.start)}, {"end", position(range.line, range.end)}};
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The -W level from the settings the client sends: `warningLevel` at the
// top or under `vls`, a number from 0 to 4.
std::optional<int> warningLevelIn(const json& settings) {
    if (!settings.is_object()) return std::nullopt;
    const json* level = nullptr;
    if (settings.contains("vls") && settings["vls"].is_object() && settings["vls"].contains("warningLevel"))
        level = &settings["vls"]["warningLevel"];
    else if (settings.contains("warningLevel"))
        level = &settings["warningLevel"];
    if (!level || !level->is_number_integer()) return std::nullopt;
    long long value = level->get<long long>();
    if (value < 0 || value > 4) return std::nullopt;
    return static_cast<int>(value);
}

// The document position of a request, as a line and a byte in that line.
struct TextPoint {
    std::string_view line;
    int line_index;
    size_t byte;
};

TextPoint pointIn(const std::string& text, const json& params) {
    const json& where = params.at("position");
    long long line = where.at("line").get<long long>();
    long long character = where.at("character").get<long long>();
    std::vector<std::string_view> lines = splitLines(text);
    if (line < 0 || character < 0) throw RpcError{kInvalidParams, "position out of range"};
    if (line >= static_cast<long long>(lines.size())) return {std::string_view(), static_cast<int>(lines.size()), 0};
    std::string_view lineText = lines[static_cast<size_t>(line)];
    int column = character > 1000000000 ? 1000000000 : static_cast<int>(character);
    return {lineText, static_cast<int>(line), byteOffset(lineText, column)};
}

json locationJson(const std::string& path, int line, int start, int end) {
    return {{"uri", uriOfPath(path)}, {"range", rangeJson({line, start, end})}};
}

// The protocol's numbers for the kinds of names: completion items (Keyword,
// Function, EnumMember) and symbols (Namespace, Function, Event), in the
// order of the enums.
constexpr int kCompletionItemKinds[] = {14, 14, 3, 20};  // dot-command, bracket command, macro, device
constexpr int kSymbolKinds[] = {3, 12, 24};               // track, macro, mark

// Applies one content change; a change with a range (a client that sends
// pieces although the server asks for whole documents) replaces that range.
void applyChange(std::string& text, const json& change) {
    const std::string& replacement = change.at("text").get_ref<const std::string&>();
    if (!change.contains("range")) {
        text = replacement;
        return;
    }
    auto offsetOf = [&](const json& where) {
        long long line = where.at("line").get<long long>();
        long long character = where.at("character").get<long long>();
        std::vector<std::string_view> lines = splitLines(text);
        if (line < 0 || line >= static_cast<long long>(lines.size())) return text.size();
        std::string_view lineText = lines[static_cast<size_t>(line)];
        int column = character < 0 ? 0 : character > 1000000000 ? 1000000000 : static_cast<int>(character);
        return static_cast<size_t>(lineText.data() - text.data()) + byteOffset(lineText, column);
    };
    size_t start = offsetOf(change.at("range").at("start"));
    size_t end = offsetOf(change.at("range").at("end"));
    if (end < start) std::swap(start, end);
    text.replace(start, end - start, replacement);
}

}  // namespace

std::string pathOfUri(const std::string& uri) {
    if (uri.rfind("file://", 0) != 0) return uri;
    std::string path;
    size_t at = uri.find('/', 7);  // past an authority such as file://host/
    if (at == std::string::npos) return uri;
    for (; at < uri.size(); ++at) {
        if (uri[at] == '%' && at + 2 < uri.size() && hexDigit(uri[at + 1]) >= 0 && hexDigit(uri[at + 2]) >= 0) {
            path += static_cast<char>(hexDigit(uri[at + 1]) * 16 + hexDigit(uri[at + 2]));
            at += 2;
        } else {
            path += uri[at];
        }
    }
    return std::filesystem::path(path).lexically_normal().string();
}

std::string uriOfPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (char ch : path) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return uri;
}

std::string LanguageServer::framingError() {
    return errorResponse(nullptr, kParseError, "unreadable message header: a Content-Length is needed");
}

std::vector<std::string> LanguageServer::receive(std::string_view body) {
    std::vector<std::string> out;
    json message = json::parse(body.begin(), body.end(), nullptr, false);
    if (message.is_discarded()) {
        out.push_back(errorResponse(nullptr, kParseError, "the message is not JSON"));
        return out;
    }
    if (!message.is_object()) {
        out.push_back(errorResponse(nullptr, kInvalidRequest, "a message is a JSON object"));
        return out;
    }
    json id = nullptr;
    bool hasId = message.contains("id");
    if (hasId) {
        id = message["id"];
        if (!id.is_number_integer() && !id.is_string() && !id.is_null()) {
            out.push_back(errorResponse(nullptr, kInvalidRequest, "the id is neither a number nor a string"));
            return out;
        }
    }
    if (!message.contains("method")) {
        // A response to a request of the server's: it sends none, so there
        // is nothing to match it with.
        if (hasId && (message.contains("result") || message.contains("error"))) return out;
        out.push_back(errorResponse(id, kInvalidRequest, "the message has no method"));
        return out;
    }
    if (!message["method"].is_string() || (message.contains("jsonrpc") && message["jsonrpc"] != "2.0")) {
        if (hasId) out.push_back(errorResponse(id, kInvalidRequest, "not a JSON-RPC 2.0 request"));
        return out;
    }
    const std::string method = message["method"].get<std::string>();
    const json params = message.contains("params") ? message["params"] : json::object();
    try {
        if (!hasId) {
            notification(method, params, out);
            return out;
        }
        json result = request(method, params);
        out.insert(out.begin(), serialise({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}}));
    } catch (const RpcError& error) {
        if (hasId) out.insert(out.begin(), errorResponse(id, error.code, error.message));
    } catch (const json::exception& error) {
        if (hasId) out.insert(out.begin(), errorResponse(id, kInvalidParams, std::string("invalid params: ") + error.what()));
    } catch (const std::exception& error) {
        if (hasId) out.insert(out.begin(), errorResponse(id, kInternalError, error.what()));
    }
    return out;
}

json LanguageServer::request(const std::string& method, const json& params) {
    if (method == "initialize") {
        if (params.is_object() && params.contains("initializationOptions"))
            if (std::optional<int> level = warningLevelIn(params["initializationOptions"])) warning_level_ = *level;
        initialized_ = true;
        return {{"capabilities",
                 {{"positionEncoding", "utf-16"},
                  {"textDocumentSync", {{"openClose", true}, {"change", 1}}},
                  {"hoverProvider", true},
                  {"completionProvider", {{"triggerCharacters", {".", "["}}}},
                  {"definitionProvider", true},
                  {"documentSymbolProvider", true}}},
                {"serverInfo", {{"name", "vls-language-server"}}}};
    }
    if (!initialized_) throw RpcError{kServerNotInitialized, "the server is not initialized"};
    if (shutdown_) throw RpcError{kInvalidRequest, "the server is shutting down"};
    if (method == "shutdown") {
        shutdown_ = true;
        return nullptr;
    }
    if (method == "textDocument/hover") return hover(params);
    if (method == "textDocument/completion") return completion(params);
    if (method == "textDocument/definition") return definition(params);
    if (method == "textDocument/documentSymbol") return symbols(params);
    throw RpcError{kMethodNotFound, "no such method: " + method};
}

void LanguageServer::notification(const std::string& method, const json& params, std::vector<std::string>& out) {
    if (method == "exit") {
        exited_ = true;
        return;
    }
    // Before `initialize` and after `shutdown`, notifications other than
    // `exit` are dropped.
    if (!initialized_ || shutdown_) return;
    try {
        if (method == "textDocument/didOpen") open(params, out);
        if (method == "textDocument/didChange") change(params, out);
        if (method == "textDocument/didClose") close(params, out);
        if (method == "workspace/didChangeConfiguration" && params.is_object() && params.contains("settings")) {
            configure(params["settings"]);
            for (const auto& [uri, document] : documents_) out.push_back(publish(uri));
        }
    } catch (const std::exception&) {
        // A notification has no answer, not even an error.
    } catch (const RpcError&) {
    }
}

void LanguageServer::configure(const json& settings) {
    if (std::optional<int> level = warningLevelIn(settings)) warning_level_ = *level;
}

void LanguageServer::open(const json& params, std::vector<std::string>& out) {
    const json& item = params.at("textDocument");
    std::string uri = item.at("uri").get<std::string>();
    Document document{pathOfUri(uri), item.contains("version") ? item["version"].get<long long>() : 0};
    texts_[document.path] = item.at("text").get<std::string>();
    documents_[uri] = document;
    out.push_back(publish(uri));
    recheckIncluders(document.path, out);
}

void LanguageServer::change(const json& params, std::vector<std::string>& out) {
    const std::string uri = params.at("textDocument").at("uri").get<std::string>();
    auto document = documents_.find(uri);
    if (document == documents_.end()) return;
    const json& identifier = params.at("textDocument");
    if (identifier.contains("version") && identifier.at("version").is_number_integer())
        document->second.version = identifier.at("version").get<long long>();
    std::string& text = texts_[document->second.path];
    for (const json& item : params.at("contentChanges")) applyChange(text, item);
    out.push_back(publish(uri));
    recheckIncluders(document->second.path, out);
}

void LanguageServer::close(const json& params, std::vector<std::string>& out) {
    const std::string uri = params.at("textDocument").at("uri").get<std::string>();
    auto document = documents_.find(uri);
    if (document == documents_.end()) return;
    std::string path = document->second.path;
    documents_.erase(document);
    bool stillOpen = false;
    for (const auto& [otherUri, other] : documents_) stillOpen = stillOpen || other.path == path;
    if (!stillOpen) texts_.erase(path);
    out.push_back(notificationMessage("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}}));
    recheckIncluders(path, out);
}

std::string LanguageServer::publish(const std::string& uri) {
    const Document& document = documents_.at(uri);
    json diagnostics = json::array();
    for (const Diagnostic& diagnostic : checkDocument(document.path, texts_, warning_level_)) {
        json item = {{"range", rangeJson(diagnostic.range)},
                     {"severity", diagnostic.error ? 1 : 2},
                     {"source", "vlc3"},
                     {"message", diagnostic.message}};
        if (!diagnostic.related_path.empty())
            item["relatedInformation"] = json::array(
                {{{"location", {{"uri", uriOfPath(diagnostic.related_path)}, {"range", rangeJson(diagnostic.related_range)}}},
                  {"message", "the line in the included file"}}});
        diagnostics.push_back(std::move(item));
    }
    return notificationMessage("textDocument/publishDiagnostics",
                               {{"uri", uri}, {"version", document.version}, {"diagnostics", std::move(diagnostics)}});
}

void LanguageServer::recheckIncluders(const std::string& path, std::vector<std::string>& out) {
    for (const auto& [uri, document] : documents_) {
        if (document.path == path) continue;
        const std::string& text = texts_[document.path];
        for (std::string_view line : splitLines(text)) {
            std::optional<IncludeLine> include = includeOnLine(line);
            if (!include || !includeNames(folderOf(document.path), include->name, path)) continue;
            out.push_back(publish(uri));
            break;
        }
    }
}

const LanguageServer::Document& LanguageServer::documentOf(const json& params) const {
    const std::string uri = params.at("textDocument").at("uri").get<std::string>();
    auto document = documents_.find(uri);
    if (document == documents_.end()) throw RpcError{kInvalidParams, "the document is not open: " + uri};
    return document->second;
}

json LanguageServer::hover(const json& params) {
    const Document& document = documentOf(params);
    const std::string& text = texts_.at(document.path);
    TextPoint point = pointIn(text, params);
    std::optional<std::string> shown =
        hoverAt(text, point.line_index, point.byte, macrosWithIncludes(document.path, texts_));
    if (!shown) return nullptr;
    return {{"contents", {{"kind", "markdown"}, {"value", *shown}}}};
}

json LanguageServer::completion(const json& params) {
    const Document& document = documentOf(params);
    const std::string& text = texts_.at(document.path);
    TextPoint point = pointIn(text, params);
    size_t wordStart = point.byte;
    std::vector<Completion> names =
        completionsAt(point.line, point.byte, macrosWithIncludes(document.path, texts_), wordStart);
    json items = json::array();
    LineRange replaced{point.line_index, utf16Column(point.line, wordStart), utf16Column(point.line, point.byte)};
    for (const Completion& name : names) {
        json item = {{"label", name.label},
                     {"kind", kCompletionItemKinds[static_cast<int>(name.kind)]},
                     {"textEdit", {{"range", rangeJson(replaced)}, {"newText", name.label}}}};
        if (!name.detail.empty()) item["detail"] = name.detail;
        items.push_back(std::move(item));
    }
    return {{"isIncomplete", false}, {"items", std::move(items)}};
}

json LanguageServer::definition(const json& params) {
    const Document& document = documentOf(params);
    const std::string& text = texts_.at(document.path);
    TextPoint point = pointIn(text, params);
    if (std::optional<IncludeLine> include = includeOnLine(point.line)) {
        std::optional<std::string> found = findInclude(folderOf(document.path), include->name, texts_);
        return found ? locationJson(*found, 0, 0, 0) : json(nullptr);
    }
    std::vector<MacroDefinition> macros = macrosWithIncludes(document.path, texts_);
    const MacroDefinition* macro = macroAt(codeOf(point.line), point.byte, macros);
    if (!macro) return nullptr;
    std::optional<std::string> defining = readSource(macro->path, texts_);
    std::vector<std::string_view> lines = splitLines(defining ? *defining : std::string_view());
    std::string_view line = static_cast<size_t>(macro->line) < lines.size() ? lines[static_cast<size_t>(macro->line)]
                                                                            : std::string_view();
    return locationJson(macro->path, macro->line, utf16Column(line, macro->start), utf16Column(line, macro->end));
}

json LanguageServer::symbols(const json& params) {
    const Document& document = documentOf(params);
    const std::string& text = texts_.at(document.path);
    std::vector<std::string_view> lines = splitLines(text);
    json out = json::array();
    for (const OutlineSymbol& symbol : outlineOf(text)) {
        std::string_view line = lines[static_cast<size_t>(symbol.line)];
        json range = rangeJson({symbol.line, utf16Column(line, symbol.start), utf16Column(line, symbol.end)});
        json item = {{"name", symbol.name},
                     {"kind", kSymbolKinds[static_cast<int>(symbol.kind)]},
                     {"range", range},
                     {"selectionRange", range}};
        if (!symbol.detail.empty()) item["detail"] = symbol.detail;
        out.push_back(std::move(item));
    }
    return out;
}

namespace {

// One frame's header: its Content-Length, or -1 when it has none (or no
// readable one); false at the end of the input.
bool readHeader(FILE* in, long long& length) {
    length = -1;
    std::string line;
    bool any = false;
    for (;;) {
        int c = std::fgetc(in);
        if (c == EOF) return false;
        any = true;
        if (c != '\n') {
            if (line.size() < 4096) line += static_cast<char>(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) return any;
        static constexpr std::string_view kLength = "content-length:";
        if (line.size() > kLength.size() && startsWithWord(line, 0, kLength)) {
            std::string digits = trimBlanks(std::string_view(line).substr(kLength.size()));
            bool valid = !digits.empty() && digits.size() <= 12;
            for (char d : digits) valid = valid && d >= '0' && d <= '9';
            length = valid ? std::stoll(digits) : -1;
        }
        line.clear();
    }
}

void writeFrame(FILE* out, const std::string& body) {
    std::fprintf(out, "Content-Length: %zu\r\n\r\n", body.size());
    std::fwrite(body.data(), 1, body.size(), out);
    std::fflush(out);
}

}  // namespace

int serveLanguageServer(FILE* in, FILE* out) {
    LanguageServer server;
    long long length;
    while (readHeader(in, length)) {
        if (length < 0) {
            writeFrame(out, LanguageServer::framingError());
            continue;
        }
        std::string body;
        // Read in pieces, so that a length far beyond the input asks for no
        // more memory than the input holds.
        char chunk[65536];
        while (static_cast<long long>(body.size()) < length) {
            long long left = length - static_cast<long long>(body.size());
            size_t want = static_cast<size_t>(std::min<long long>(left, sizeof chunk));
            size_t got = std::fread(chunk, 1, want, in);
            if (got == 0) break;
            body.append(chunk, got);
        }
        if (static_cast<long long>(body.size()) < length) break;  // the input ended inside a frame
        for (const std::string& reply : server.receive(body)) writeFrame(out, reply);
        if (server.exited()) return server.exitCode();
    }
    return server.exitCode();
}
