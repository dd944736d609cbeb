#pragma once
// E-mail addresses: extracting, splitting lists, expanding nicknames of the address book.

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

// `s` without leading and trailing blanks (spaces and tabs).
std::string TrimBlanks(std::string_view s);

// The address of "Name <user@host>" (the text between the angle brackets), or `s` trimmed.
std::string ExtractAddress(std::string_view s);

// True when `s` is a bare address (no name, no angle brackets).
bool IsPlainAddress(std::string_view s);

// Appends the entries of the comma-separated list `s` to `list`, trimmed; empty ones skipped.
void SplitAddressList(std::vector<std::string>& list, std::string_view s);

// Expands the nickname `name` with the address book `book` (its lines) into `out`. Groups
// expand recursively; each nickname is expanded at most once per call, so self-referencing
// groups end. False when `name` is not a nickname of the book.
bool ExpandAlias(const std::string& name, std::vector<std::string>& out, const std::vector<std::string>& book);

// Expands `name` with the default address book. False when it is no nickname there.
bool ExpandName(const std::string& name, std::vector<std::string>& out);

// The sender address of the message file `file_name`; "" when the file cannot be read.
std::string GetFromAddress(const std::string& file_name);

}  // namespace corvelle
