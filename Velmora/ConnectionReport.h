#pragma once
// One connection report per filtered DNS exchange, and the upload wrapper.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

struct ConnectionReport {
    std::optional<std::string> agent = "ios-dns";
    std::optional<std::string> user;
    std::optional<std::string> hw = "ff:ff:ff:ff:ff:ff";
    std::optional<bool> extensionConnection = true;
    std::optional<std::string> reportingType = "extension";
    std::optional<bool> app_filtering_denied;
    std::optional<std::string> categoryId;
    std::optional<std::string> subCategoryId;
    std::optional<std::string> verdict_application_rule;
    std::optional<std::string> tag;
    std::optional<bool> noise;
    std::optional<std::string> id;
    std::optional<std::int64_t> upload;
    std::optional<std::int64_t> download;
    std::optional<std::int64_t> packets = 2;
    std::optional<std::int64_t> prot = 6;  // JSON key "protocol"
    std::optional<std::string> sourceIp;
    std::optional<std::string> destIp;
    std::optional<std::int64_t> port = 53;
    std::optional<std::string> httpHost;
    std::optional<std::int64_t> time = nowSeconds();
    std::optional<bool> final_connection_object = true;

    // Whole seconds since 1970, fraction cut off.
    static std::int64_t nowSeconds();
};

struct ConnectionReports {
    std::optional<std::vector<ConnectionReport>> items;
};

// Absent members are left out; keys keep the field order.
void to_json(nlohmann::ordered_json& json, const ConnectionReport& report);
void from_json(const nlohmann::ordered_json& json, ConnectionReport& report);
void to_json(nlohmann::ordered_json& json, const ConnectionReports& reports);
void from_json(const nlohmann::ordered_json& json, ConnectionReports& reports);

// The JSON form of a ConnectionReports holding `reports`, as to_json gives it, made
// one report at a time so that a large batch never stands as a whole JSON tree.
// Throws nlohmann::json::exception for text that is not UTF-8.
std::string encodeConnectionReports(const std::vector<ConnectionReport>& reports);

// What one HTTPS exchange with the filtering service leaves for its report.
struct ExchangeOutcome {
    // Header lookup of the HTTP response; absent when no response came.
    std::function<std::optional<std::string>(std::string_view name)> header;
    std::optional<std::int64_t> bodyBytes;  // absent when no body came
    std::int64_t requestBytes = 0;
};

// Builds the report of one exchange from the provider's identity values.
ConnectionReport makeConnectionReport(const std::string& version,
                                      const std::optional<std::string>& userName,
                                      const std::optional<std::string>& macAddress,
                                      const std::string& sourceIp,
                                      const ExchangeOutcome& outcome);
