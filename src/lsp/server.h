// The language server: JSON-RPC 2.0 messages of the Language Server Protocol
// (3.17), with whole documents sent on every change.
#pragma once
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "lsp/workspace.h"

class LanguageServer {
public:
    // Handles one message (the body of one frame) and returns the messages
    // to send back, in order: the response to a request, and the
    // diagnostics a change of a document brings.
    std::vector<std::string> receive(std::string_view body);

    // The answer to a frame whose header could not be read.
    static std::string framingError();

    // Whether `exit` has come, and the exit code it asks for: 0 after a
    // `shutdown`, 1 without one.
    bool exited() const { return exited_; }
    int exitCode() const { return shutdown_ ? 0 : 1; }

private:
    struct Document {
        std::string path;  // the key of its text in texts_
        long long version = 0;
    };

    // A request's result, or a notification's effects; `out` collects the
    // notifications to send.
    nlohmann::json request(const std::string& method, const nlohmann::json& params);
    void notification(const std::string& method, const nlohmann::json& params, std::vector<std::string>& out);

    void open(const nlohmann::json& params, std::vector<std::string>& out);
    void change(const nlohmann::json& params, std::vector<std::string>& out);
    void close(const nlohmann::json& params, std::vector<std::string>& out);
    void configure(const nlohmann::json& settings);
    nlohmann::json hover(const nlohmann::json& params);
    nlohmann::json completion(const nlohmann::json& params);
    nlohmann::json definition(const nlohmann::json& params);
    nlohmann::json symbols(const nlohmann::json& params);

    // Compiles the document and returns its publishDiagnostics notification.
    std::string publish(const std::string& uri);
    // After `path` changed: the documents that include it, checked again.
    void recheckIncluders(const std::string& path, std::vector<std::string>& out);
    const Document& documentOf(const nlohmann::json& params) const;

    bool initialized_ = false;
    bool shutdown_ = false;
    bool exited_ = false;
    int warning_level_ = 3;
    std::map<std::string, Document> documents_;  // by URI
    OpenDocuments texts_;                         // by path
};

// Reads framed messages (`Content-Length: n`, a blank line, n bytes of JSON)
// from `in` and writes the answers to `out` in the same framing, until
// `exit` or the end of the input. Returns the exit code: 0 after `shutdown`,
// 1 without.
int serveLanguageServer(FILE* in, FILE* out);

// A file URI's path (percent-escapes decoded, normalised), or the URI itself
// for any other scheme; and back.
std::string pathOfUri(const std::string& uri);
std::string uriOfPath(const std::string& path);
