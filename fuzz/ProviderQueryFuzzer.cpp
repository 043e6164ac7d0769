// Feeds arbitrary datagrams through the provider's own reading of a query: the bypass
// match (the first question read with the codec), the hex dump that the log shows, and
// the connection report of an exchange whose answer carries the datagram, encoded as
// the upload sends it.
#include "Velmora/DNSProxyProvider.h"
#include "Velmora/HexDump.h"
#include "Velmora/shared/SharedIdentifiers.h"
#include "log/Log.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace {

DNSProxyProvider& provider() {
    static DNSProxyProvider* instance = [] {
        // The provider writes its configuration to the settings store: a scratch one.
        static char folder[] = "/tmp/provider-fuzz-XXXXXX";
        if (!::mkdtemp(folder)) std::abort();
        ::setenv("BRIMVALE_STATE_DIR", folder, 1);
        std::atexit([] { std::filesystem::remove_all(folder); });
        oslog::setMinimumLevel(oslog::Level::error);
        auto* made = new DNSProxyProvider;
        made->updateUserDefaults({{shared::key::serverAddress, "dns.brimvale.example"},
                                  {shared::key::macAddress, "02:00:00:00:00:01"},
                                  {shared::key::deviceId, "device"},
                                  {shared::key::userName, "user@ios"},
                                  {shared::key::region, "anz"},
                                  {shared::key::bypassDomains, "example.com,ab.c,,x,\xff\xfe"}});
        return made;
    }();
    return *instance;
}

// The verdict headers, each with the next piece of the datagram (split at zero bytes)
// as its value.
http::HTTPURLResponse answerHeaders(std::string_view text) {
    static const char* const names[] = {"x-verdict-categoryid",     "x-verdict-subcategoryid", "x-verdict-tagid",
                                        "x-verdict-denied",         "x-verdict-noise",         "x-verdict-denialid",
                                        "x-verdict-destinationip", "x-verdict-destinationhost", "bv-tx-id"};
    http::HTTPURLResponse response{200, "https://dns.brimvale.example/dns-query", {}};
    for (const char* name : names) {
        const auto end = text.find('\0');
        response.headerFields.emplace_back(name, std::string(text.substr(0, end)));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return response;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DNSProxyProvider& proxy = provider();
    const ne::Datagram datagram(data, data + size);

    (void)proxy.matchesBypassDomain(datagram);

    // One line per 16 bytes, after a leading line break.
    const std::string dump = datagramDump(datagram);
    std::size_t lines = 0;
    for (char c : dump) lines += c == '\n';
    if (dump.front() != '\n' || lines != 1 + (size + 15) / 16) std::abort();

    const http::DataResponse answer{"https://dns.brimvale.example/dns-query",
                                    answerHeaders({reinterpret_cast<const char*>(data), size}), datagram, {}};
    proxy.setConnections(std::vector<ConnectionReport>{});
    proxy.recordConnectionReport(answer, static_cast<std::int64_t>(size));
    if (!proxy.connections() || proxy.connections()->size() != 1) std::abort();
    std::string sent;
    try {
        sent = encodeConnectionReports(*proxy.connections());
    } catch (const nlohmann::json::exception&) {
        return 0;  // text that is not UTF-8: the upload logs that and drops the batch
    }
    // What the upload sends reads back as one report.
    const auto read = nlohmann::json::parse(sent, nullptr, false);
    if (read.is_discarded() || !read.contains("items") || read["items"].size() != 1) std::abort();
    return 0;
}
