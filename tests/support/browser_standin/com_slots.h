// Vtable slot numbers of IWebBrowser2 and IHTMLDocument2, taken from the C
// declarations of the SDK headers (com_slots.c).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

extern const unsigned kWebBrowser2SlotCount;
extern const unsigned kWebBrowser2Navigate;
extern const unsigned kWebBrowser2Navigate2;
extern const unsigned kWebBrowser2GetDocument;
extern const unsigned kWebBrowser2GetLocationUrl;
extern const unsigned kWebBrowser2GetBusy;
extern const unsigned kWebBrowser2GetReadyState;
extern const unsigned kWebBrowser2Stop;
// Zero-terminated list of the put_ property slots that simply answer S_OK.
extern const unsigned kWebBrowser2PropertyPuts[];

extern const unsigned kHtmlDocument2SlotCount;
extern const unsigned kHtmlDocument2GetScript;
extern const unsigned kHtmlDocument2GetTitle;
extern const unsigned kHtmlDocument2GetUrl;
extern const unsigned kHtmlDocument2GetReadyState;

#ifdef __cplusplus
}
#endif
