#include "Velmora/dns/Message.hpp"

#include <sstream>

namespace velmora::dns {

namespace {

template <class T, class Describe>
void writeList(std::ostringstream& out, const std::vector<T>& list, Describe describe)
{
    out << "[";
    const char* separator = "";
    for (const auto& element : list) {
        out << separator << describe(element);
        separator = ", ";
    }
    out << "]";
}

std::string describeQuestion(const Question& q)
{
    std::ostringstream out;
    out << std::boolalpha << "Question(name: " << q.name << ", type: " << debugDescription(q.type) << " (" << q.type
        << "), unique: " << q.unique << ", internetClass: " << q.internetClass << ")";
    return out.str();
}

std::string describeRecord(const ResourceRecord& record) { return debugDescription(record); }

} // namespace

std::string Message::debugDescription() const
{
    std::ostringstream out;
    out << std::boolalpha;
    if (type == MessageType::response) {
        out << "DNS Response(id: " << id << ", returnCode: " << unsigned{returnCode};
    } else {
        out << "DNS Request(id: " << id;
    }
    out << ", authoritativeAnswer: " << authoritativeAnswer << ", truncation: " << truncation
        << ", recursionDesired: " << recursionDesired << ", recursionAvailable: " << recursionAvailable;
    out << ", questions: ";
    writeList(out, questions, describeQuestion);
    out << ", answers: ";
    writeList(out, answers, describeRecord);
    out << ", authorities: ";
    writeList(out, authorities, describeRecord);
    out << ", additional: ";
    writeList(out, additional, describeRecord);
    out << ")";
    return out.str();
}

} // namespace velmora::dns
