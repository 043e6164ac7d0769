#pragma once
// What the provider configuration's values must be before the engine takes them:
// they go into request headers, into the log, and the region, the device
// identifier and the server address into URLs.

#include <optional>
#include <string>
#include <string_view>

// Why the value given for `key` cannot be taken, or nullopt when it can. No value may
// hold a control character; the region must be a host label, the server address a
// host name or address with an optional port, and the device identifier a URL path
// segment other than "." and "..".
std::optional<std::string> configurationValueProblem(std::string_view key, std::string_view value);

// One to 63 letters, digits and hyphens, neither first nor last a hyphen.
bool isHostLabel(std::string_view text);

// `text` as one URL path segment: every byte but letters, digits and "-._~" is
// percent-encoded.
std::string urlPathSegment(std::string_view text);
