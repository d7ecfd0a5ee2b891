// The page's way to the setup program. The program hands the page an
// external object with getLocale, notify, log and setWindowProp; pages call
// it only through this object, which stands in harmlessly when the page is
// opened without that program.
var host = (function () {
    function external() {
        try {
            var ext = window.external;
            return (ext === null || ext === undefined) ? null : ext;
        } catch (e) {
            return null;
        }
    }

    // Whether the external object has a member of that name. Methods of a
    // host object answer typeof "unknown" in some script engines, and "in"
    // may throw on others, so both ways are tried.
    function has(name) {
        var ext = external();
        if (!ext) {
            return false;
        }
        try {
            if (name in ext) {
                return true;
            }
        } catch (e1) {
        }
        try {
            return typeof ext[name] !== 'undefined';
        } catch (e2) {
            return false;
        }
    }

    // Calls external[name] with the arguments as given. Host methods take no
    // apply(), so the call is spelled out per count.
    function call(name, a) {
        var ext = external();
        switch (a.length) {
        case 0: return ext[name]();
        case 1: return ext[name](a[0]);
        case 2: return ext[name](a[0], a[1]);
        case 3: return ext[name](a[0], a[1], a[2]);
        case 4: return ext[name](a[0], a[1], a[2], a[3]);
        default: return ext[name](a[0], a[1], a[2], a[3], a[4]);
        }
    }

    return {
        log: function () {
            if (has('log')) {
                return call('log', arguments);
            }
        },
        notify: function () {
            if (has('notify')) {
                return call('notify', arguments);
            }
            var text = 'notify';
            for (var i = 0; i < arguments.length; i++) {
                text += '\narg[' + i + ']=' + arguments[i];
            }
            alert(text);
        },
        getLocale: function () {
            if (has('getLocale')) {
                return String(call('getLocale', arguments));
            }
            return 'en';
        },
        setWindowProp: function () {
            if (has('setWindowProp')) {
                return call('setWindowProp', arguments);
            }
        }
    };
}());
