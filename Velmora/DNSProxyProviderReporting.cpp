// Connection reports and their upload.

#include "Velmora/DNSProxyProvider.h"

void DNSProxyProvider::recordConnectionReport(const http::DataResponse&, std::int64_t) {}

void DNSProxyProvider::scheduledReportingCheck() {}

void DNSProxyProvider::reportIfDue() {}

bool DNSProxyProvider::shouldSendReports(const std::optional<std::vector<ConnectionReport>>&, std::int64_t) {
    return false;
}

void DNSProxyProvider::sendConnectionReports(const std::vector<ConnectionReport>&, const std::string&) {}

void DNSProxyProvider::handleReportResponse(const http::DataResponse&) {}
