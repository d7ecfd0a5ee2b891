/* Vtable slot numbers of the two very wide interfaces that the stand-in
 * serves (IWebBrowser2 and IHTMLDocument2). They are read from the C
 * declarations of the SDK headers, so the C++ side can build those vtables as
 * plain arrays: every slot it does not implement gets one shared stub. */
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <stddef.h>

#include "com_slots.h"

#define SLOT(iface, method) ((unsigned)(offsetof(iface##Vtbl, method) / sizeof(void *)))

const unsigned kWebBrowser2SlotCount = sizeof(IWebBrowser2Vtbl) / sizeof(void *);
const unsigned kWebBrowser2Navigate = SLOT(IWebBrowser2, Navigate);
const unsigned kWebBrowser2Navigate2 = SLOT(IWebBrowser2, Navigate2);
const unsigned kWebBrowser2GetDocument = SLOT(IWebBrowser2, get_Document);
const unsigned kWebBrowser2GetLocationUrl = SLOT(IWebBrowser2, get_LocationURL);
const unsigned kWebBrowser2GetBusy = SLOT(IWebBrowser2, get_Busy);
const unsigned kWebBrowser2GetReadyState = SLOT(IWebBrowser2, get_ReadyState);
const unsigned kWebBrowser2Stop = SLOT(IWebBrowser2, Stop);
const unsigned kWebBrowser2PropertyPuts[] = {
    SLOT(IWebBrowser2, put_Visible),     SLOT(IWebBrowser2, put_Silent),
    SLOT(IWebBrowser2, put_MenuBar),     SLOT(IWebBrowser2, put_AddressBar),
    SLOT(IWebBrowser2, put_StatusBar),   SLOT(IWebBrowser2, put_ToolBar),
    SLOT(IWebBrowser2, put_RegisterAsBrowser), SLOT(IWebBrowser2, put_RegisterAsDropTarget),
    SLOT(IWebBrowser2, put_Offline),     SLOT(IWebBrowser2, put_TheaterMode),
    SLOT(IWebBrowser2, put_Resizable),   SLOT(IWebBrowser2, put_FullScreen),
    0};

const unsigned kHtmlDocument2SlotCount = sizeof(IHTMLDocument2Vtbl) / sizeof(void *);
const unsigned kHtmlDocument2GetScript = SLOT(IHTMLDocument2, get_Script);
const unsigned kHtmlDocument2GetTitle = SLOT(IHTMLDocument2, get_title);
const unsigned kHtmlDocument2GetUrl = SLOT(IHTMLDocument2, get_URL);
const unsigned kHtmlDocument2GetReadyState = SLOT(IHTMLDocument2, get_readyState);
