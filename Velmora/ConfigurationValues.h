#pragma once
// What the provider can do with the provider configuration's values. The settings
// store keeps every value as given; these decide, use by use, what the provider runs
// with: values go into request headers and the log, the server address into the
// HTTPS road's URL, the region and the device identifier into the report address.

#include <optional>
#include <string>
#include <string_view>

// Why `value` can go in no request header, or nullopt when it can: it holds a
// control character.
std::optional<std::string> headerValueProblem(std::string_view value);

// The server address as the HTTPS road takes it, host[:port]: host labels (letters,
// digits, hyphens and underscores) joined by dots, with a final dot dropped and a
// name in Unicode converted to its ASCII form, or an IPv6 address in brackets; the
// port 1 to 65535. Absent, with the reason in `problem`, when it cannot be one.
std::optional<std::string> serverAddressForRoad(std::string_view given, std::string* problem);

// Labels of one to 63 letters, digits and hyphens, neither first nor last a hyphen,
// joined by dots; at most 253 characters, no final dot. What the region must be to
// name the regional statistics host.
bool isHostName(std::string_view text);

// `text` as one URL path segment: blanks, "%", "/", "\", "?", "#", control and
// non-ASCII bytes percent-encoded, and "." and ".." as a whole; every other
// character that a path segment may hold is kept as written.
std::string urlPathSegment(std::string_view text);
