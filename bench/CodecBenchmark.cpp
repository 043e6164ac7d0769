// Messages per second for reading and writing a typical query and a typical response, with
// ldns reading the same bytes in the same run for comparison.
#include "LdnsReader.hpp"
#include "Velmora/dns/MessageReader.hpp"
#include "Velmora/dns/MessageWriter.hpp"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

using namespace velmora::dns;

Message typicalQuery()
{
    Message m;
    m.id = 0x4A1F;
    m.recursionDesired = true;
    m.questions = {{"www.example.com.", RecordType::host, false, RecordClass::internet}};
    return m;
}

// A CNAME to a CDN name and seven addresses under it: every owner name compresses.
Message typicalResponse()
{
    Message m = typicalQuery();
    m.type = MessageType::response;
    m.recursionAvailable = true;
    m.answers.push_back(AliasRecord{"www.example.com.", false, 1, 300, "edge.cdn.example.net."});
    for (std::uint32_t i = 1; i <= 7; ++i) {
        m.answers.push_back(HostRecord{"edge.cdn.example.net.", false, 1, 60, IPv4(0xC6336400 + i)});
    }
    return m;
}

const Bytes queryBytes = typicalQuery().serialize();
const Bytes responseBytes = typicalResponse().serialize();

void readOurs(benchmark::State& state, const Bytes& bytes)
{
    for (auto _ : state) benchmark::DoNotOptimize(deserializeMessage(bytes));
    state.SetItemsProcessed(state.iterations());
}

void readLdns(benchmark::State& state, const Bytes& bytes)
{
    if (!ldnsReadMessage(bytes.data(), bytes.size())) throw std::runtime_error("ldns refuses the message");
    for (auto _ : state) benchmark::DoNotOptimize(ldnsReadMessage(bytes.data(), bytes.size()));
    state.SetItemsProcessed(state.iterations());
}

void write(benchmark::State& state, const Message& message)
{
    for (auto _ : state) benchmark::DoNotOptimize(message.serialize());
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(readOurs, query, queryBytes);
BENCHMARK_CAPTURE(readLdns, query, queryBytes);
BENCHMARK_CAPTURE(readOurs, response, responseBytes);
BENCHMARK_CAPTURE(readLdns, response, responseBytes);
BENCHMARK_CAPTURE(write, query, typicalQuery());
BENCHMARK_CAPTURE(write, response, typicalResponse());

} // namespace
