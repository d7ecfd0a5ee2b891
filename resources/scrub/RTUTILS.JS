// Small DOM helpers for the setup pages (plain ES3, only the basic DOM).
var rtutils = runtime.define('rtutils', {
    byId: function (id) {
        return document.getElementById(id);
    },
    // Sets an element's text; markup in text is shown, never parsed.
    setText: function (el, text) {
        if (!el) {
            return;
        }
        if (typeof el.innerText !== 'undefined') {
            el.innerText = text;
        } else {
            el.textContent = text;
        }
    },
    getText: function (el) {
        if (!el) {
            return '';
        }
        var text = (typeof el.innerText !== 'undefined') ? el.innerText : el.textContent;
        return text === null || text === undefined ? '' : String(text);
    },
    // Shows or hides an element (also one hidden by the class "hidden").
    show: function (el, visible) {
        if (!el) {
            return;
        }
        var classes = (' ' + (el.className || '') + ' ').replace(/ hidden /g, ' ');
        el.className = classes.replace(/^\s+|\s+$/g, '');
        el.style.display = visible ? '' : 'none';
    },
    // Every occurrence of find in text replaced by value, taken literally.
    replaceAll: function (text, find, value) {
        return String(text).split(find).join(String(value));
    }
});
