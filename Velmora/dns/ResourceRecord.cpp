#include "Velmora/dns/ResourceRecord.hpp"

#include <iomanip>
#include <sstream>

namespace velmora::dns {

std::string_view debugDescription(std::uint16_t type)
{
    switch (type) {
    case RecordType::host: return "A";
    case RecordType::nameServer: return "NS";
    case RecordType::alias: return "CNAME";
    case RecordType::startOfAuthority: return "SOA";
    case RecordType::pointer: return "PTR";
    case RecordType::mailExchange: return "MX";
    case RecordType::text: return "TXT";
    case RecordType::host6: return "AAAA";
    case RecordType::service: return "SRV";
    case RecordType::incrementalZoneTransfer: return "IXFR";
    case RecordType::standardZoneTransfer: return "AXFR";
    case RecordType::all: return "*";
    default: return "Unknown";
    }
}

std::string& name(ResourceRecord& record)
{
    return std::visit([](auto& r) -> std::string& { return r.name; }, record);
}
const std::string& name(const ResourceRecord& record)
{
    return std::visit([](const auto& r) -> const std::string& { return r.name; }, record);
}
bool& unique(ResourceRecord& record)
{
    return std::visit([](auto& r) -> bool& { return r.unique; }, record);
}
bool unique(const ResourceRecord& record)
{
    return std::visit([](const auto& r) { return r.unique; }, record);
}
std::uint16_t& internetClass(ResourceRecord& record)
{
    return std::visit([](auto& r) -> std::uint16_t& { return r.internetClass; }, record);
}
std::uint16_t internetClass(const ResourceRecord& record)
{
    return std::visit([](const auto& r) { return r.internetClass; }, record);
}
std::uint32_t& ttl(ResourceRecord& record)
{
    return std::visit([](auto& r) -> std::uint32_t& { return r.ttl; }, record);
}
std::uint32_t ttl(const ResourceRecord& record)
{
    return std::visit([](const auto& r) { return r.ttl; }, record);
}

void serialize(const ResourceRecord& record, Bytes& onto, Labels& labels)
{
    std::visit([&](const auto& r) { r.serialize(onto, labels); }, record);
}

namespace {

// "Kind(name: n, unique: false, internetClass: 1, ttl: 60" shared by every kind; the caller closes it.
template <class R>
std::ostringstream open(const char* kind, const R& r)
{
    std::ostringstream out;
    out << std::boolalpha << kind << "(name: " << r.name << ", unique: " << r.unique
        << ", internetClass: " << r.internetClass << ", ttl: " << r.ttl;
    return out;
}

struct Describe {
    std::string operator()(const Record& r) const
    {
        auto out = open("Record", r);
        out << ", type: " << debugDescription(r.type) << " (" << r.type << "), data: " << std::hex << std::setfill('0');
        for (const std::uint8_t byte : r.data) out << std::setw(2) << unsigned{byte};
        out << ")";
        return out.str();
    }
    std::string operator()(const HostRecord& r) const
    {
        auto out = open("HostRecord", r);
        out << ", ip: " << presentation(r.ip) << ")";
        return out.str();
    }
    std::string operator()(const ServiceRecord& r) const
    {
        auto out = open("ServiceRecord", r);
        out << ", priority: " << r.priority << ", weight: " << r.weight << ", port: " << r.port
            << ", server: " << r.server << ")";
        return out.str();
    }
    std::string operator()(const TextRecord& r) const
    {
        auto out = open("TextRecord", r);
        out << ", attributes: [";
        const char* separator = "";
        for (const auto& [key, value] : r.attributes) {
            out << separator << key << ": " << value;
            separator = ", ";
        }
        out << "], values: [";
        separator = "";
        for (const auto& value : r.values) {
            out << separator << value;
            separator = ", ";
        }
        out << "])";
        return out.str();
    }
    std::string operator()(const PointerRecord& r) const
    {
        auto out = open("PointerRecord", r);
        out << ", destination: " << r.destination << ")";
        return out.str();
    }
    std::string operator()(const AliasRecord& r) const
    {
        auto out = open("AliasRecord", r);
        out << ", canonicalName: " << r.canonicalName << ")";
        return out.str();
    }
    std::string operator()(const StartOfAuthorityRecord& r) const
    {
        auto out = open("StartOfAuthorityRecord", r);
        out << ", mname: " << r.mname << ", rname: " << r.rname << ", serial: " << r.serial
            << ", refresh: " << r.refresh << ", retry: " << r.retry << ", expire: " << r.expire
            << ", minimum: " << r.minimum << ")";
        return out.str();
    }
};

} // namespace

std::string debugDescription(const ResourceRecord& record) { return std::visit(Describe{}, record); }

} // namespace velmora::dns
