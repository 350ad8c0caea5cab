// clang-format off
// (soapcpp2 reads the "//gsoap" directives below exactly as written.)
// The dispatcher's service contract, read by soapcpp2 at build time. One run
// turns it into the serializers, the client proxy `DispatcherProxy` (used by
// the store link) and the server skeleton `DispatcherService` (used by the
// local dispatcher service in tools/). This file is not compiled as C++.
//
// Every request is document/literal; the server dispatches on SOAPAction.

//gsoap ns1 service name: Dispatcher
//gsoap ns1 service namespace: urn:wharfline:dispatcher-proxy
//gsoap ns1 service style: document
//gsoap ns1 service encoding: literal
//gsoap ns1 schema namespace: urn:wharfline:dispatcher-proxy
//gsoap ns3 schema namespace: urn:wharfline:service-contract
//gsoap ns1 schema elementForm: qualified
//gsoap ns3 schema elementForm: qualified

class ns3__TokenType {
public:
    std::string Token;
};

class ns3__SubscriptionType {
public:
    std::string Token;
    std::string Topic;
};

class ns3__DispatcherErrorCodeType {
public:
    int ErrorCode;
};

// SessionId and MessageId are GUID texts. Payload is raw XML, written and
// read verbatim.
class ns3__LocalMessageType {
public:
    std::string Token;
    std::string Topic;
    std::string ReplyTopic;
    std::string Type;
    int Priority;
    std::string SessionId;
    std::string MessageId;
    _XML Payload;
};

class ns3__LocalMessageResponseType {
public:
    std::string Token;
    int Errorcode;
};

// Detail of a dispatcher fault.
class ns3__LocalErrorType {
public:
    std::string ExceptionType;
    std::string ExceptionMessage;
    std::string ErrorCode;
    std::string UserMessage;
};

// Body elements. Each request holds one ns1:Request, each reply one
// ns1:Response; Response is absent from a GetMessage reply that carries no
// message.
class _ns1__BeginSessionResponse { public: ns3__TokenType* Response; };
class _ns1__SubscribeTopic { public: ns3__SubscriptionType* Request; };
class _ns1__SubscribeTopicResponse { public: ns3__DispatcherErrorCodeType* Response; };
class _ns1__UnsubscribeTopic { public: ns3__SubscriptionType* Request; };
class _ns1__UnsubscribeTopicResponse { public: ns3__DispatcherErrorCodeType* Response; };
class _ns1__SendMessage { public: ns3__LocalMessageType* Request; };
class _ns1__SendMessageResponse { public: ns3__DispatcherErrorCodeType* Response; };
class _ns1__GetMessage { public: ns3__TokenType* Request; };
class _ns1__GetMessageResponse { public: ns3__LocalMessageType* Response; };
class _ns1__EndSession { public: ns3__TokenType* Request; };
class _ns1__EndSessionResponse { public: ns3__DispatcherErrorCodeType* Response; };

// Operations in document style without a wrapper of their own: the body holds
// exactly the parameter elements, so BeginSession, which has none, sends an
// empty body.
//gsoap ns1 service method-action: BeginSession "urn:#BeginSession"
int __ns1__BeginSession(_ns1__BeginSessionResponse* ns1__BeginSessionResponse);
//gsoap ns1 service method-action: SubscribeTopic "urn:wharfline:dispatcher-proxy/SubscribeTopic"
int __ns1__SubscribeTopic(_ns1__SubscribeTopic* ns1__SubscribeTopic,
                          _ns1__SubscribeTopicResponse* ns1__SubscribeTopicResponse);
//gsoap ns1 service method-action: UnsubscribeTopic "urn:#UnsubscribeTopic"
int __ns1__UnsubscribeTopic(_ns1__UnsubscribeTopic* ns1__UnsubscribeTopic,
                            _ns1__UnsubscribeTopicResponse* ns1__UnsubscribeTopicResponse);
//gsoap ns1 service method-action: SendMessage "urn:wharfline:dispatcher-proxy/SendMessage"
int __ns1__SendMessage(_ns1__SendMessage* ns1__SendMessage,
                       _ns1__SendMessageResponse* ns1__SendMessageResponse);
//gsoap ns1 service method-action: GetMessage "urn:wharfline:dispatcher-proxy/GetMessage"
int __ns1__GetMessage(_ns1__GetMessage* ns1__GetMessage,
                      _ns1__GetMessageResponse* ns1__GetMessageResponse);
//gsoap ns1 service method-action: EndSession "urn:wharfline:dispatcher-proxy/EndSession"
int __ns1__EndSession(_ns1__EndSession* ns1__EndSession,
                      _ns1__EndSessionResponse* ns1__EndSessionResponse);
