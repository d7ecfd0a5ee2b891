// The XML component's document object as the system's browser control lets
// its pages create it (new ActiveXObject('Msxml2.DOMDocument')): Wine's own
// msxml document, but load() of a res:// address reads the module's
// resource, which Wine's msxml cannot open.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace standin {

// A new document of the ProgID's class (one reference), whose relative
// addresses resolve against pageUrl. Null when Wine's XML component cannot
// make one. The dll stays loaded while a document lives.
//
// load(address) of a res:// address is served from the resource: true and the
// parsed document when the resource exists and is well-formed XML, false and
// an empty document otherwise. A document whose `async` is true throws there
// instead: the system's component would answer at once and parse later, and
// a page that reads the document right after load() would find it empty.
// Every other member, and load() of other addresses, is Wine's own.
IDispatch* createXmlDocument(const std::wstring& progId, const std::wstring& pageUrl);

}  // namespace standin
