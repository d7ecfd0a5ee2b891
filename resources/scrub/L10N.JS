// Page texts from string files: "<PAGE>_<LOCALE>.WXL" beside the page, in
// the localization format of the setup's packages:
//   <String Id="title">Remove old versions</String>
// A locale whose file cannot be read falls back to English.
var l10n = runtime.define('l10n', (function () {
    var strings = {};

    // Whether the engine offers the XML component. The system's control in
    // its newest document mode hides the name from typeof, yet still creates
    // the objects; "in" tells there.
    function hasActiveX() {
        try {
            return ('ActiveXObject' in window) || typeof ActiveXObject !== 'undefined';
        } catch (e) {
            return false;
        }
    }

    // The address of a file beside the page. The pages come from the
    // program's resources (res://), and the XML component's objects are
    // best given whole addresses.
    function beside(name) {
        var page = String(window.location.href);
        var cut = page.search(/[?#]/);
        if (cut >= 0) {
            page = page.substring(0, cut);
        }
        return page.substring(0, page.lastIndexOf('/') + 1) + name;
    }

    // The strings of the document's String elements; null when it has none.
    function fromDocument(doc) {
        var nodes = doc.getElementsByTagName('String');
        var table = {};
        var found = false;
        for (var i = 0; i < nodes.length; i++) {
            var node = nodes.item(i);
            var id = node.getAttribute('Id');
            if (id) {
                table[String(id)] = String(node.text);
                found = true;
            }
        }
        return found ? table : null;
    }

    // Readers of a string file: each answers its id-to-text table, or null
    // or a throw when it cannot read the file. The system's browser control
    // has ActiveXObject, and there its own XMLHttpRequest refuses every
    // address but http and https (open throws "Access is denied" for
    // res://), while the XML component reads the program's resources; other
    // browsers have only XMLHttpRequest.
    function documentReader(progId) {
        return function (url) {
            var doc = new ActiveXObject(progId);
            doc.async = false;
            doc.validateOnParse = false;
            doc.resolveExternals = false;
            return doc.load(url) ? fromDocument(doc) : null;
        };
    }

    // Pages from the program's resources answer status 0 in some browsers.
    function requestReader(create) {
        return function (url) {
            var request = create();
            request.open('GET', url, false);
            request.send(null);
            if (request.status !== 200 && request.status !== 0) {
                return null;
            }
            var text = request.responseText;
            return text ? parse(String(text)) : null;
        };
    }

    function readers() {
        var list = [];
        if (hasActiveX()) {
            list.push(documentReader('Msxml2.DOMDocument'));
            list.push(requestReader(function () { return new ActiveXObject('Msxml2.XMLHTTP'); }));
            list.push(requestReader(function () { return new ActiveXObject('Microsoft.XMLHTTP'); }));
        }
        list.push(requestReader(function () { return new XMLHttpRequest(); }));
        return list;
    }

    // The strings of the file, from the first reader that can read it; null
    // when none can.
    function read(name) {
        var url = beside(name);
        var list = readers();
        for (var i = 0; i < list.length; i++) {
            try {
                var table = list[i](url);
                if (table) {
                    return table;
                }
            } catch (e) {
            }
        }
        return null;
    }

    function decode(text) {
        return text.replace(/&(#x[0-9a-fA-F]+|#[0-9]+|lt|gt|quot|apos|amp);/g, function (all, entity) {
            switch (entity) {
            case 'lt': return '<';
            case 'gt': return '>';
            case 'quot': return '"';
            case 'apos': return '\'';
            case 'amp': return '&';
            }
            if (entity.charAt(1) === 'x') {
                return String.fromCharCode(parseInt(entity.substring(2), 16));
            }
            return String.fromCharCode(parseInt(entity.substring(1), 10));
        });
    }

    // The strings of a file's text as an id-to-text table; null when it
    // holds none.
    function parse(text) {
        var table = {};
        var found = false;
        var pattern = /<String\s+[^>]*Id="([^"]+)"[^>]*>([\s\S]*?)<\/String>/g;
        var match = pattern.exec(text);
        while (match) {
            table[match[1]] = decode(match[2]);
            found = true;
            match = pattern.exec(text);
        }
        return found ? table : null;
    }

    return {
        // Loads the strings of page for locale (e.g. "pt_BR"); English when
        // that file is missing or empty. Answers the locale loaded, or null.
        load: function (page, locale) {
            var tried = [String(locale || 'en'), 'en'];
            for (var i = 0; i < tried.length; i++) {
                var name = (page + '_' + tried[i] + '.wxl').toUpperCase();
                var table = read(name);
                if (table) {
                    strings = table;
                    return tried[i];
                }
                runtime.log('String file ' + name + ' could not be read');
            }
            return null;
        },
        // The language tag of a locale name, as the document's lang
        // attribute takes it ("pt_BR" gives "pt-BR").
        languageTag: function (locale) {
            return String(locale).replace(/_/g, '-');
        },
        has: function (id) {
            return strings.hasOwnProperty(id);
        },
        get: function (id) {
            return strings.hasOwnProperty(id) ? strings[id] : '';
        },
        // Every string id, in no particular order.
        ids: function () {
            var out = [];
            for (var id in strings) {
                if (strings.hasOwnProperty(id)) {
                    out.push(id);
                }
            }
            return out;
        },
        parse: parse
    };
}()));
