#include "serviceoptions.h"

#include <cstdlib>

namespace {

bool toInt(const std::string& text, int low, int high, int& value)
{
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || number < low || number > high)
        return false;
    value = static_cast<int>(number);
    return true;
}

}  // namespace

bool ServiceOptions::parse(const std::vector<std::string>& args, std::string& error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string value = hasValue ? args[i + 1] : std::string();
        int number = 0;
        if (arg == "-h" || arg == "--help") {
            help = true;
            continue;
        }
        if (arg == "--no-reply") {
            noReply = true;
            continue;
        }
        if (arg == "--hold-polls") {
            holdPolls = true;
            continue;
        }
        if (!hasValue) {
            error = arg.rfind("--", 0) == 0 && arg.size() > 2 ? arg + " needs a value or is unknown"
                                                              : "unknown argument " + arg;
            return false;
        }
        ++i;
        if (arg == "--port" && toInt(value, 0, 65535, number)) {
            port = number;
        } else if (arg == "--status" && toInt(value, -999999, 999999, number)) {
            status = number;
        } else if (arg == "--flood" && toInt(value, 1, 16 * 1024 * 1024, number)) {
            floodBytes = number;
        } else if (arg == "--delay" && toInt(value, 0, 3600000, number)) {
            delayMs = number;
        } else if (arg == "--status-for" && value.find('=') != std::string::npos
                   && value.find('=') > 0
                   && toInt(value.substr(value.find('=') + 1), -999999, 999999, number)) {
            statusForType[value.substr(0, value.find('='))] = number;
        } else if (arg == "--no-reply-for") {
            noReplyForType.insert(value);
        } else if (arg == "--log") {
            logPath = value;
        } else {
            error = "bad option or value: " + arg + " " + value;
            return false;
        }
    }
    return true;
}

bool ServiceOptions::answers(const std::string& type) const
{
    return !noReply && noReplyForType.count(type) == 0;
}

int ServiceOptions::statusFor(const std::string& type) const
{
    auto it = statusForType.find(type);
    return it != statusForType.end() ? it->second : status;
}

const char* ServiceOptions::usage()
{
    return "Usage: quillet-dispatcher [options]\n"
           "\n"
           "A local dispatcher service for trying a store build of Quillet without the\n"
           "store. It listens on 127.0.0.1, answers every message with an\n"
           "\"application_service_status_response\" carrying the message's SessionId, and\n"
           "writes every request it receives as one JSON line.\n"
           "\n"
           "A store build finds it through the registry file ($QUILLET_REGISTRY, else\n"
           "~/.config/Corvane/registry.reg), for example for port 17000:\n"
           "  [HKEY_LOCAL_MACHINE\\Software\\Corvane\\Wharfline]\n"
           "  \"DispatcherServicePort\"=dword:00004268\n"
           "\n"
           "Options:\n"
           "  --port N             listen on port N (default 16996; 0 picks a free port)\n"
           "  --status N           Status of every reply (default 0; 1 makes the program\n"
           "                       fail to start, or its event fail, with code 3)\n"
           "  --status-for TYPE=N  Status of the replies to messages of TYPE, e.g.\n"
           "                       application_begin_set=1\n"
           "  --delay MS           answer each message MS milliseconds late\n"
           "  --no-reply           answer no message (the program's wait ends with 9)\n"
           "  --no-reply-for TYPE  answer no message of TYPE\n"
           "  --hold-polls         keep polls waiting after EndSession, like a hung service\n"
           "  --flood BYTES        answer every poll that has no reply due at once with an\n"
           "                       unsolicited \"service_notice\" message of BYTES bytes,\n"
           "                       like a service that floods the link\n"
           "  --log FILE           append the JSON lines to FILE (default: standard output)\n"
           "  -h, --help           show this text\n"
           "\n"
           "The address is printed on standard error once the service listens. SIGTERM or\n"
           "SIGINT stops it.\n";
}
