// Page set-up shared by the setup pages. A page sets the global PAGE_NAME
// (its file name without ".html") and registers its own start-up with
// layout.ready(fn). When the document has loaded, this script loads the
// page's strings for the host's locale, sets the document's language to the
// one loaded, puts each string into the element of the same id, sets the
// title, wires the links, then runs the page's start-up functions.
//
// Links are anchors with href "#" and the target in "shadow_href": a click
// tells the host "a" and the target, and the host decides what opens.
var layout = runtime.define('layout', (function () {
    var starters = [];

    function linkHandler(anchor) {
        return function () {
            host.notify('a', anchor.getAttribute('shadow_href'));
            return false;
        };
    }

    function applyStrings() {
        var ids = l10n.ids();
        for (var i = 0; i < ids.length; i++) {
            var el = rtutils.byId(ids[i]);
            if (el) {
                rtutils.setText(el, l10n.get(ids[i]));
            }
        }
        if (l10n.has('title')) {
            document.title = l10n.get('title');
            host.setWindowProp('title', l10n.get('title'));
        }
    }

    function wireLinks() {
        var anchors = document.getElementsByTagName('a');
        for (var i = 0; i < anchors.length; i++) {
            if (anchors[i].getAttribute('shadow_href')) {
                anchors[i].onclick = linkHandler(anchors[i]);
            }
        }
    }

    function start() {
        // The pages are laid out for a 640 x 400 client area; this is the
        // window's outer size around it.
        host.setWindowProp('size', 652, 432);
        var loaded = l10n.load(typeof PAGE_NAME === 'undefined' ? 'page' : PAGE_NAME, host.getLocale());
        // The language of the texts shown, so that Chinese, Japanese and
        // Korean text gets its own language's glyph forms.
        if (loaded) {
            document.documentElement.lang = l10n.languageTag(loaded);
        }
        applyStrings();
        wireLinks();
        for (var i = 0; i < starters.length; i++) {
            starters[i]();
        }
    }

    window.onload = start;

    return {
        ready: function (fn) {
            starters.push(fn);
        },
        // A button that tells the host an event when clicked.
        button: function (id, event) {
            var el = rtutils.byId(id);
            if (el) {
                el.onclick = function () {
                    host.notify(event);
                    return false;
                };
            }
        }
    };
}()));
