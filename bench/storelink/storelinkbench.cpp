// Round trip of one event and opening of the link, against a bare gSOAP call
// to the same local dispatcher service, measured interleaved in one run.
#include "benchsupport.h"
#include "dispatcherprocess.h"
#include "isolatedenvironment.h"
#include "storelink/clientproxy.h"
#include "storelink/dispatcherconnection.h"
#include "storelink/dispatchersession.h"
#include "storelink/eventpayload.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace com::corvane::vesk;
using Clock = std::chrono::steady_clock;

namespace {

double milliseconds(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char* what, const std::vector<double>& measured, const char* baselineName,
            const std::vector<double>& baseline)
{
    const double m = median(measured), b = median(baseline);
    std::printf("%-22s median %9.3f ms   %-26s median %7.3f ms   ratio %8.1fx\n", what, m,
                baselineName, b, m / b);
}

void bareBeginSession(const std::string& endpoint)
{
    DispatcherConnection call(endpoint);
    _ns1__BeginSessionResponse response;
    if (call.proxy().BeginSession(&response) != SOAP_OK)
        std::fprintf(stderr, "bare BeginSession failed\n");
}

void bareSendMessage(const std::string& endpoint, const std::string& payload)
{
    DispatcherConnection call(endpoint);
    ns3__LocalMessageType message;
    message.Token = "bench";
    message.Type = "bench_baseline";  // answered into a session nobody polls
    message.SessionId = "00000000-0000-0000-0000-000000000000";
    message.Payload = soap_strdup(call.proxy().soap, payload.c_str());
    _ns1__SendMessage request;
    request.Request = &message;
    _ns1__SendMessageResponse response;
    if (call.proxy().SendMessage(&request, &response) != SOAP_OK)
        std::fprintf(stderr, "bare SendMessage failed\n");
}

}  // namespace

int main(int argc, char* argv[])
{
    int rounds = 5, events = 20;
    readBenchArguments(argc, argv, "storelinkbench [opens (5)] [events per open (20)]",
                       {&rounds, &events});
    const IsolatedEnvironment environment;
    {
        DispatcherProcess dispatcher({"--no-reply-for", "bench_baseline"},
                                     environment.root() / "messages.jsonl");
        if (dispatcher.port() <= 0) {
            std::fprintf(stderr, "the dispatcher did not start\n");
            return 1;
        }
        environment.writeRegistry(linkRegistry(dispatcher.port(), 0));
        const std::string endpoint
            = "http://127.0.0.1:" + std::to_string(dispatcher.port()) + "/DispatcherProxy";
        const std::string payload = EventPayload::begin(std::string(36, ' '));

        std::vector<double> open, bareOpen, event, bareEvent;
        for (int r = 0; r < rounds; ++r) {
            bareOpen.push_back(milliseconds([&] { bareBeginSession(endpoint); }));
            open.push_back(milliseconds([] { DispatcherSession::instance().open(); }));
            for (int e = 0; e < events; ++e) {
                bareEvent.push_back(milliseconds([&] { bareSendMessage(endpoint, payload); }));
                event.push_back(milliseconds([&] {
                    if (DispatcherSession::instance().exchange("application_begin_set", payload))
                        std::fprintf(stderr, "event failed\n");
                }));
            }
            DispatcherSession::instance().close();
        }
        std::printf("store link against quillet-dispatcher on 127.0.0.1 (%d opens, %d events)\n",
                    rounds, rounds * events);
        size_t statusChecks = 0;
        for (auto& entry : dispatcher.entries("SendMessage"))
            statusChecks += entry["type"] == "application_service_status_request";
        std::printf("status checks seen by the service: %zu of %d opens\n", statusChecks, rounds);
        report("open link", open, "bare BeginSession call", bareOpen);
        report("event round trip", event, "bare SendMessage call", bareEvent);
    }
    return 0;
}
