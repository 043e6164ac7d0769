#include "ConnectionReport.h"

#include <chrono>

namespace {

// Visits every field with its JSON key, in field order.
template <typename Report, typename Visit>
void forEachField(Report& r, Visit&& visit) {
    visit("agent", r.agent);
    visit("user", r.user);
    visit("hw", r.hw);
    visit("extensionConnection", r.extensionConnection);
    visit("reportingType", r.reportingType);
    visit("app_filtering_denied", r.app_filtering_denied);
    visit("categoryId", r.categoryId);
    visit("subCategoryId", r.subCategoryId);
    visit("verdict_application_rule", r.verdict_application_rule);
    visit("tag", r.tag);
    visit("noise", r.noise);
    visit("id", r.id);
    visit("upload", r.upload);
    visit("download", r.download);
    visit("packets", r.packets);
    visit("sourceIp", r.sourceIp);
    visit("destIp", r.destIp);
    visit("port", r.port);
    visit("httpHost", r.httpHost);
    visit("time", r.time);
    visit("protocol", r.prot);
    visit("final_connection_object", r.final_connection_object);
}

}  // namespace

std::int64_t ConnectionReport::nowSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

void to_json(nlohmann::ordered_json& json, const ConnectionReport& report) {
    json = nlohmann::ordered_json::object();
    forEachField(report, [&](const char* key, const auto& field) {
        if (field) json[key] = *field;
    });
}

void from_json(const nlohmann::ordered_json& json, ConnectionReport& report) {
    forEachField(report, [&](const char* key, auto& field) {
        auto member = json.find(key);
        if (member == json.end() || member->is_null()) {
            field.reset();
        } else {
            field = member->template get<typename std::decay_t<decltype(field)>::value_type>();
        }
    });
}

void to_json(nlohmann::ordered_json& json, const ConnectionReports& reports) {
    json = nlohmann::ordered_json::object();
    if (reports.items) json["items"] = *reports.items;
}

void from_json(const nlohmann::ordered_json& json, ConnectionReports& reports) {
    auto items = json.find("items");
    if (items == json.end() || items->is_null()) {
        reports.items.reset();
    } else {
        reports.items = items->get<std::vector<ConnectionReport>>();
    }
}

std::string encodeConnectionReports(const std::vector<ConnectionReport>& reports) {
    std::string text = "{\"items\":[";
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (i) text += ',';
        text += nlohmann::ordered_json(reports[i]).dump();
    }
    return text + "]}";
}

ConnectionReport makeConnectionReport(const std::string& version,
                                      const std::optional<std::string>& userName,
                                      const std::optional<std::string>& macAddress,
                                      const std::string& sourceIp,
                                      const ExchangeOutcome& outcome) {
    ConnectionReport report;
    report.agent = "ios-dns v" + version;
    report.user = userName;
    report.hw = macAddress;
    if (outcome.bodyBytes) report.download = outcome.bodyBytes;
    report.sourceIp = sourceIp;
    if (outcome.header) {
        auto text = [&](const char* name, std::optional<std::string>& field) {
            if (auto value = outcome.header(name)) field = *value;
        };
        auto flag = [&](const char* name, std::optional<bool>& field) {
            if (auto value = outcome.header(name)) field = (*value == "true");
        };
        text("x-verdict-categoryid", report.categoryId);
        text("x-verdict-subcategoryid", report.subCategoryId);
        text("x-verdict-tagid", report.tag);
        flag("x-verdict-denied", report.app_filtering_denied);
        flag("x-verdict-noise", report.noise);
        text("x-verdict-denialid", report.verdict_application_rule);
        text("x-verdict-destinationip", report.destIp);
        text("x-verdict-destinationhost", report.httpHost);
        text("bv-tx-id", report.id);
    }
    report.upload = outcome.requestBytes;
    return report;
}
