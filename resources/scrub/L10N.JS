// Page texts from string files: "<PAGE>_<LOCALE>.WXL" beside the page, in
// the localization format of the setup's packages:
//   <String Id="title">Remove old versions</String>
// A locale whose file cannot be read falls back to English.
var l10n = runtime.define('l10n', (function () {
    var strings = {};

    function newRequest() {
        if (typeof XMLHttpRequest !== 'undefined') {
            try {
                return new XMLHttpRequest();
            } catch (e1) {
            }
        }
        try {
            return new ActiveXObject('Microsoft.XMLHTTP');
        } catch (e2) {
            return null;
        }
    }

    // The file's text, or null when it cannot be read. Pages from the
    // program's resources answer status 0 in some browsers.
    function read(name) {
        var request = newRequest();
        if (!request) {
            return null;
        }
        try {
            request.open('GET', name, false);
            request.send(null);
            var text = request.responseText;
            if ((request.status === 200 || request.status === 0) && text) {
                return String(text);
            }
        } catch (e) {
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
                var text = read(name);
                var table = text ? parse(text) : null;
                if (table) {
                    strings = table;
                    return tried[i];
                }
                runtime.log('String file ' + name + ' could not be read');
            }
            return null;
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
