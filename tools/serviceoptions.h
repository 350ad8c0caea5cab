#ifndef QUILLET_TOOLS_SERVICEOPTIONS_H
#define QUILLET_TOOLS_SERVICEOPTIONS_H

#include <map>
#include <set>
#include <string>
#include <vector>

// Command line of the local dispatcher service.
struct ServiceOptions {
    int port = 16996;
    int status = 0;                            // Status of every reply ...
    std::map<std::string, int> statusForType;  // ... unless set for the type
    int delayMs = 0;
    bool noReply = false;
    std::set<std::string> noReplyForType;
    bool holdPolls = false;
    int floodBytes = 0;   // unsolicited payload per poll
    std::string logPath;  // empty: standard output
    bool help = false;

    // Parses the arguments; on error returns false with a message in error.
    bool parse(const std::vector<std::string>& args, std::string& error);
    // Whether a message of this type is answered, and with which status.
    bool answers(const std::string& type) const;
    int statusFor(const std::string& type) const;

    static const char* usage();
};

#endif
