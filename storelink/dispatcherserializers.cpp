// The generated serializers together with the global XML namespace table of
// the dispatcher contract. The runtime looks the table up by name, so it has
// to sit in the same object as the serializers: in a static library a table
// of its own would never be linked in.
#include "Dispatcher.nsmap"
#include "soapC.cpp"
