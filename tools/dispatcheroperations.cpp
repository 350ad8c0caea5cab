// The operations of the generated DispatcherService skeleton, served from the
// LocalDispatcher that the service's context carries in soap->user.
#include "localdispatcher.h"
#include "soapDispatcherService.h"

#include <poll.h>
#include <sys/socket.h>

namespace {

LocalDispatcher& dispatcher(struct soap* soap)
{
    return *static_cast<LocalDispatcher*>(soap->user);
}

// Whether the peer of a held poll has closed or shut down its end.
bool peerGone(SOAP_SOCKET socket)
{
    pollfd entry{socket, POLLIN | POLLRDHUP, 0};
    if (::poll(&entry, 1, 0) <= 0)
        return false;
    if (entry.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL))
        return true;
    char byte;
    return ::recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

ns3__DispatcherErrorCodeType* noError(struct soap* soap)
{
    auto* code = soap_new_ns3__DispatcherErrorCodeType(soap);
    code->ErrorCode = 0;
    return code;
}

}  // namespace

int DispatcherService::BeginSession(_ns1__BeginSessionResponse* response)
{
    response->Response = soap_new_ns3__TokenType(soap);
    response->Response->Token = dispatcher(soap).beginSession();
    return SOAP_OK;
}

int DispatcherService::SubscribeTopic(_ns1__SubscribeTopic* request,
                                      _ns1__SubscribeTopicResponse* response)
{
    if (!request || !request->Request)
        return soap_senderfault("SubscribeTopic without Request", nullptr);
    dispatcher(soap).subscribe(request->Request->Token, request->Request->Topic);
    response->Response = noError(soap);
    return SOAP_OK;
}

int DispatcherService::UnsubscribeTopic(_ns1__UnsubscribeTopic* request,
                                        _ns1__UnsubscribeTopicResponse* response)
{
    if (!request || !request->Request)
        return soap_senderfault("UnsubscribeTopic without Request", nullptr);
    dispatcher(soap).unsubscribe(request->Request->Token, request->Request->Topic);
    response->Response = noError(soap);
    return SOAP_OK;
}

int DispatcherService::SendMessage(_ns1__SendMessage* request, _ns1__SendMessageResponse* response)
{
    if (!request || !request->Request)
        return soap_senderfault("SendMessage without Request", nullptr);
    const ns3__LocalMessageType& in = *request->Request;
    LocalDispatcher::Message message;
    message.token = in.Token;
    message.topic = in.Topic;
    message.replyTopic = in.ReplyTopic;
    message.type = in.Type;
    message.priority = in.Priority;
    message.sessionId = in.SessionId;
    message.messageId = in.MessageId;
    message.payload = in.Payload ? in.Payload : "";
    dispatcher(soap).sendMessage(message);
    response->Response = noError(soap);
    return SOAP_OK;
}

int DispatcherService::GetMessage(_ns1__GetMessage* request, _ns1__GetMessageResponse* response)
{
    if (!request || !request->Request)
        return soap_senderfault("GetMessage without Request", nullptr);
    LocalDispatcher::Message message;
    const SOAP_SOCKET socket = soap->socket;
    if (!dispatcher(soap).getMessage(request->Request->Token, message,
                                     [socket] { return peerGone(socket); }))
        return SOAP_OK;  // no message: a response without Response
    auto* out = soap_new_ns3__LocalMessageType(soap);
    out->Token = message.token;
    out->Topic = message.topic;
    out->ReplyTopic = message.replyTopic;
    out->Type = message.type;
    out->Priority = message.priority;
    out->SessionId = message.sessionId;
    out->MessageId = message.messageId;
    out->Payload = soap_strdup(soap, message.payload.c_str());
    response->Response = out;
    return SOAP_OK;
}

int DispatcherService::EndSession(_ns1__EndSession* request, _ns1__EndSessionResponse* response)
{
    if (!request || !request->Request)
        return soap_senderfault("EndSession without Request", nullptr);
    dispatcher(soap).endSession(request->Request->Token);
    response->Response = noError(soap);
    return SOAP_OK;
}
