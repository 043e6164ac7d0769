// Connection reports and their upload, on the main queue; a batch is encoded and
// posted on the provider's report encoder, a queue of its own, so that the main
// queue answers on while a large batch is encoded.

#include "Velmora/DNSProxyProvider.h"
#include "Velmora/ConfigurationValues.h"
#include "Velmora/HexDump.h"
#include "Velmora/InterfaceAddress.h"
#include "Velmora/Loggers.h"

#include "dispatch/Dispatch.h"

#include <chrono>

namespace {

// The regional statistics host is <prefix>.<region>.<domain>.
const char* const statisticsHostPrefix = "stats";
const char* const statisticsDomain = "brimvale.example";
constexpr std::chrono::milliseconds reportingCheckInterval{60000};
constexpr std::int64_t reportingTimeThreshold = 300;
constexpr std::size_t reportingCountThreshold = 100;

std::string describeCount(const std::optional<std::vector<ConnectionReport>>& reports) {
    return reports ? "Optional(" + std::to_string(reports->size()) + ")" : "nil";
}

// The library's debug description of a whole data response.
std::string describeResponse(const http::DataResponse& response) {
    std::string text = "[Request]: POST " + response.url + "\n[Response]: ";
    text += response.response ? "[Status Code]: " + std::to_string(response.response->statusCode) + " " +
                                    response.response->headersDescription()
                              : "None";
    text += "\n[Data]: " + (response.data ? std::to_string(response.data->size()) + " bytes" : "None");
    text += "\n[Result]: " + std::string(response.isSuccess() ? "success" : "failure");
    return text;
}

}  // namespace

void DNSProxyProvider::recordConnectionReport(const http::DataResponse& response, std::int64_t requestBytes) {
    ExchangeOutcome outcome;
    if (response.response) {
        const auto& headers = *response.response;
        outcome.header = [&headers](std::string_view name) { return headers.headerField(name); };
    }
    if (response.data) outcome.bodyBytes = static_cast<std::int64_t>(response.data->size());
    outcome.requestBytes = requestBytes;
    auto report = makeConnectionReport(version_, userName_, macAddress_, localInterfaceAddress(), outcome);
    if (oslog::isEnabled(oslog::Level::debug))
        reportingLogger().debug("Connection reports, current size: %{public}s", describeCount(connections_));
    if (!connections_) return;
    if (connections_->size() >= reportCap) {
        // The oldest half goes at once, so that dropping costs little per report; the
        // count is logged once a second while reports are dropped.
        const std::size_t dropped = reportCap / 2;
        connections_->erase(connections_->begin(), connections_->begin() + static_cast<std::ptrdiff_t>(dropped));
        if (droppedReports_ == 0) {
            dispatch::DispatchQueue::main().asyncAfter(std::chrono::seconds(1), [weak = weak_from_this()] {
                auto self = weak.lock();
                if (!self) return;
                reportingLogger().error("Dropped the oldest %{public}d connection reports: %{public}d held already",
                                        self->droppedReports_, reportCap);
                self->droppedReports_ = 0;
            });
        }
        droppedReports_ += dropped;
    }
    connections_->push_back(std::move(report));
}

void DNSProxyProvider::scheduledReportingCheck() {
    reportingLogger().debug("Scheduled reporting check");
    reportIfDue();
    dispatch::DispatchQueue::main().asyncAfter(reportingCheckInterval, [weak = weak_from_this()] {
        if (auto self = weak.lock()) self->scheduledReportingCheck();
    });
}

void DNSProxyProvider::reportIfDue() {
    const auto elapsed = ConnectionReport::nowSeconds() - lastReportSent_;
    if (!shouldSendReports(connections_, elapsed)) return;
    if (!region_ || !isHostName(*region_) || !deviceId_ || deviceId_->empty()) {
        // The report address needs both, the region as host labels and the device
        // identifier as a path segment that is not empty; keep the queue for a later check.
        reportingLogger().error("Reporting postponed, region or device identifier not configured");
        return;
    }
    const std::string url = std::string("https://") + statisticsHostPrefix + "." + *region_ + "." +
                            statisticsDomain + "/" + urlPathSegment(*deviceId_) + "/-/extension";
    auto batch = std::move(*connections_);
    connections_ = std::vector<ConnectionReport>{};
    sendConnectionReports(std::move(batch), url);
    lastReportSent_ = ConnectionReport::nowSeconds();
}

bool DNSProxyProvider::shouldSendReports(const std::optional<std::vector<ConnectionReport>>& reports,
                                         std::int64_t elapsedSeconds) {
    reportingLogger().debug("Time since last report: %{public}d seconds", elapsedSeconds);
    if (!reports) {
        reportingLogger().error("Reporting collection not initialised, not reporting!");
        return false;
    }
    if (reports->empty()) {
        reportingLogger().debug("Reporting collection is empty, not reporting");
        return false;
    }
    if (elapsedSeconds >= reportingTimeThreshold) {
        reportingLogger().info("Reporting time interval reached, reporting now");
        return true;
    }
    if (reports->size() >= reportingCountThreshold) {
        reportingLogger().info("Reporting connection limit reached, reporting now");
        return true;
    }
    reportingLogger().debug("Neither time interval nor maximum connections reached, not reporting yet");
    return false;
}

void DNSProxyProvider::sendConnectionReports(std::vector<ConnectionReport> reports, const std::string& url) {
    reportingLogger().info("Sending connection reports");
    std::weak_ptr<DNSProxyProvider> weak = weak_from_this();
    if (!reportEncoder_) reportEncoder_ = std::make_unique<dispatch::DispatchQueue>("com.brimvale.report-encoder");
    reportEncoder_->async([weak, reports = std::move(reports), url] {
        std::string encoded;
        try {
            encoded = encodeConnectionReports(reports);
        } catch (const nlohmann::json::exception&) {
            // Texts that are not valid UTF-8 cannot be encoded.
            reportingLogger().error("Reporting failed for an unknown reason");
            return;
        }
        reportingLogger().debug("Reports encoded : %{public}s", std::to_string(encoded.size()) + " bytes");
        if (oslog::isEnabled(oslog::Level::debug)) {
            std::string printable;
            for (unsigned char byte : encoded) printable += printableCharacter(byte);
            reportingLogger().debug("Reports decoded : %{public}s", printable);
        }
        http::Session::defaultSession()
            .upload(http::Bytes(encoded.begin(), encoded.end()), url, "POST", {{"Content-Type", "application/json"}})
            ->responseData([weak](const http::DataResponse& response) {
                if (auto self = weak.lock()) self->handleReportResponse(response);
            });
    });
}

void DNSProxyProvider::handleReportResponse(const http::DataResponse& response) {
    reportingLogger().debug("Response headers: %{public}s",
                            response.response ? response.response->headersDescription() : "nil");
    if (response.isSuccess()) {
        reportingLogger().debug("Reported successfully: %{public}s", describeResponse(response));
    } else {
        const long status = response.response ? response.response->statusCode : constUnknownResponse();
        reportingLogger().error("Reporting failed: (%{public}d), error: (%{public}s)", status,
                                response.error->localizedDescription);
    }
}
