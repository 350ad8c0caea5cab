#include "storelink/eventpayload.h"

#include <pugixml.hpp>

#include <sstream>

namespace com { namespace corvane { namespace vesk {

const char* const EventPayload::kVersion = "1.1.2";

namespace {

std::string serialise(const pugi::xml_document& doc)
{
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    return out.str();
}

}  // namespace

std::string EventPayload::statusRequest()
{
    return document("applicationServiceStatusReq",
                    {{"Version", kVersion}, {"APILevel", std::to_string(kApiLevel)}});
}

std::string EventPayload::begin(const std::string& applicationId)
{
    return document("applicationBeginSet",
                    {{"Version", kVersion}, {"ApplicationUUID", applicationId}});
}

std::string EventPayload::completion(const std::string& applicationId)
{
    return document(
        "applicationCompletionSet",
        {{"Version", kVersion}, {"ApplicationUUID", applicationId}, {"ExitCode", "OK"}});
}

std::string EventPayload::crashReport(const std::string& applicationId,
                                      const std::string& reportPath)
{
    return document("crashReportSet", {{"Version", kVersion},
                                       {"ApplicationUUID", applicationId},
                                       {"CrashInfoDirectoryPath", reportPath},
                                       {"NativeFlag", "0"}});
}

int EventPayload::statusResult(const std::string& replyPayload)
{
    pugi::xml_document doc;
    if (!doc.load_string(replyPayload.c_str()))
        return 0;
    for (const pugi::xpath_node& node : doc.select_nodes("//applicationServiceStatus[1]/*")) {
        if (std::string(node.node().name()) == "Status")
            return std::string(node.node().text().get()) == "1" ? 3 : 0;
    }
    return 0;
}

std::string EventPayload::document(const char* root, std::initializer_list<Child> children)
{
    try {
        pugi::xml_document doc;
        pugi::xml_node element = doc.append_child(root);
        for (const Child& child : children) {
            element.append_child(pugi::node_pcdata).set_value("\n\t");
            element.append_child(child.name).text().set(child.text.c_str());
        }
        return wrap(serialise(doc));
    } catch (const std::exception&) {
        return std::string();
    }
}

std::string EventPayload::wrap(const std::string& document)
{
    pugi::xml_document wrapper;
    // Parsed without white-space preservation, so the blank is dropped.
    if (!wrapper.load_string("<XMLPayload> </XMLPayload>"))
        return std::string();
    wrapper.child("XMLPayload").append_child(pugi::node_cdata).set_value(document.c_str());
    return serialise(wrapper);
}

}}}  // namespace com::corvane::vesk
