// Page runtime shared by the setup pages: a small module registry and the
// page log. Plain ES3, so it runs in the system browser control, in other
// script hosts and in current browsers alike.
var runtime = (function () {
    var modules = {};
    return {
        // Registers a module object under a name; answers the object.
        define: function (name, module) {
            modules[name] = module;
            return module;
        },
        // The module registered under name, or null.
        require: function (name) {
            return modules.hasOwnProperty(name) ? modules[name] : null;
        },
        // Writes one line to the setup log through the host (nothing
        // without a host).
        log: function (text) {
            if (typeof host !== 'undefined' && host) {
                host.log(String(text));
            }
        }
    };
}());
