// The small document the stand-in control gives its pages: plain script
// objects for nodes, a parser for simple well-formed markup, and the
// browser globals the pages use. It runs in JScript's ES5 mode (for the
// innerHTML/textContent accessors) and reaches the control only through
// `standinNative`.
var standin = (function (global, native) {
  var VOID_TAGS = { AREA: 1, BASE: 1, BR: 1, COL: 1, HR: 1, IMG: 1, INPUT: 1, LINK: 1, META: 1, PARAM: 1 };
  var RAW_TAGS = { SCRIPT: 1, STYLE: 1 };
  var ESCAPABLE_RAW_TAGS = { TEXTAREA: 1, TITLE: 1 };
  var ENTITIES = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'", nbsp: '\u00a0', copy: '\u00a9',
    reg: '\u00ae', trade: '\u2122', hellip: '\u2026', mdash: '\u2014', ndash: '\u2013',
    laquo: '\u00ab', raquo: '\u00bb', bull: '\u2022', middot: '\u00b7' };
  // Attributes that live as element properties (name -> property).
  var REFLECTED = { id: 'id', 'class': 'className', classname: 'className', value: 'value', href: 'href',
    type: 'type', name: 'name', title: 'title', src: 'src', tabindex: 'tabIndex', lang: 'lang', dir: 'dir' };
  var BOOLEAN_ATTRS = { checked: 1, disabled: 1, selected: 1, readonly: 'readOnly' };

  function reportError(e) {
    var message = (e && (e.message || e.description)) || String(e);
    native.scriptError(message);
  }

  // Wine's JScript compares two strings that were both built with `+`
  // wrongly ('a' + 0 === 'a' + 1 is true there), while a string cut from one
  // (substring) is stored whole and compares right. Texts the document keeps
  // or looks up are made whole first.
  function whole(text) {
    return String(text).substring(0);
  }

  function indexOf(list, item) {
    for (var i = 0; i < list.length; i++) if (list[i] === item) return i;
    return -1;
  }

  // The keys are quoted: Wine's parser reads a bare `get` or `set` key in an
  // object literal as the start of an accessor definition.
  function accessor(proto, name, getter, setter) {
    Object.defineProperty(proto, name, { 'get': getter, 'set': setter || function () {}, 'configurable': true });
  }

  function decodeEntities(text) {
    if (text.indexOf('&') < 0) return text;
    return text.replace(/&(#[xX][0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);/g, function (all, body) {
      if (body.charAt(0) === '#') {
        var code = (body.charAt(1) === 'x' || body.charAt(1) === 'X') ? parseInt(body.substring(2), 16) : parseInt(body.substring(1), 10);
        if (isNaN(code)) return all;
        if (code > 0xffff) {
          code -= 0x10000;
          return String.fromCharCode(0xd800 + (code >> 10), 0xdc00 + (code & 0x3ff));
        }
        return String.fromCharCode(code);
      }
      return ENTITIES.hasOwnProperty(body) ? ENTITIES[body] : all;
    });
  }

  function escapeText(text) {
    return String(text).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
  }

  function escapeAttr(text) {
    return escapeText(text).replace(/"/g, '&quot;');
  }

  function camelCase(name) {
    return name.replace(/-([a-z])/g, function (all, c) { return c.toUpperCase(); });
  }

  function dashed(name) {
    return name.replace(/[A-Z]/g, function (c) { return '-' + c.toLowerCase(); });
  }

  // ---- nodes ----------------------------------------------------------
  function Node() {}

  Node.prototype.appendChild = function (node) {
    return this.insertBefore(node, null);
  };

  Node.prototype.insertBefore = function (node, ref) {
    if (!node) throw new Error('insertBefore: no node');
    if (node.nodeType === 11) {
      var moved = node.childNodes.slice(0);
      for (var i = 0; i < moved.length; i++) this.insertBefore(moved[i], ref);
      return node;
    }
    for (var p = this; p; p = p.parentNode) if (p === node) throw new Error('insertBefore: node is an ancestor');
    if (node.parentNode) node.parentNode.removeChild(node);
    var at = ref ? indexOf(this.childNodes, ref) : this.childNodes.length;
    if (at < 0) throw new Error('insertBefore: reference is not a child');
    this.childNodes.splice(at, 0, node);
    node.parentNode = this;
    return node;
  };

  Node.prototype.removeChild = function (node) {
    var at = indexOf(this.childNodes, node);
    if (at < 0) throw new Error('removeChild: not a child');
    this.childNodes.splice(at, 1);
    node.parentNode = null;
    if (document.activeElement && !document.contains(document.activeElement)) document.activeElement = document.body;
    return node;
  };

  Node.prototype.replaceChild = function (node, old) {
    this.insertBefore(node, old);
    return this.removeChild(old);
  };

  Node.prototype.hasChildNodes = function () { return this.childNodes.length > 0; };

  Node.prototype.contains = function (node) {
    for (; node; node = node.parentNode) if (node === this) return true;
    return false;
  };

  accessor(Node.prototype, 'firstChild', function () { return this.childNodes.length ? this.childNodes[0] : null; });
  accessor(Node.prototype, 'lastChild', function () { return this.childNodes.length ? this.childNodes[this.childNodes.length - 1] : null; });
  accessor(Node.prototype, 'nextSibling', function () {
    var p = this.parentNode;
    return p ? (p.childNodes[indexOf(p.childNodes, this) + 1] || null) : null;
  });
  accessor(Node.prototype, 'previousSibling', function () {
    var p = this.parentNode;
    return p ? (p.childNodes[indexOf(p.childNodes, this) - 1] || null) : null;
  });
  accessor(Node.prototype, 'children', function () {
    var out = [];
    for (var i = 0; i < this.childNodes.length; i++) if (this.childNodes[i].nodeType === 1) out.push(this.childNodes[i]);
    return out;
  });
  accessor(Node.prototype, 'textContent', function () {
    if (this.nodeType === 3) return this.data;
    if (this.nodeType === 8) return '';
    var out = '';
    for (var i = 0; i < this.childNodes.length; i++) out += this.childNodes[i].textContent;
    return whole(out);
  }, function (value) {
    if (this.nodeType === 3) { this.data = whole(value); return; }
    while (this.childNodes.length) this.removeChild(this.childNodes[0]);
    var text = value === null || value === undefined ? '' : whole(value);
    if (text !== '') this.appendChild(document.createTextNode(text));
  });
  accessor(Node.prototype, 'innerText', function () { return this.textContent; }, function (value) { this.textContent = value; });

  function collect(root, test, out) {
    for (var i = 0; i < root.childNodes.length; i++) {
      var child = root.childNodes[i];
      if (child.nodeType === 1) {
        if (test(child)) out.push(child);
        collect(child, test, out);
      }
    }
    return out;
  }

  // A found list: an array that also answers item(i) as collections do.
  function nodeList(items) {
    items.item = function (i) { return this[i] || null; };
    return items;
  }

  Node.prototype.getElementsByTagName = function (tag) {
    var name = String(tag).toUpperCase();
    return nodeList(collect(this, function (el) { return name === '*' || el.tagName === name; }, []));
  };

  Node.prototype.getElementsByClassName = function (names) {
    var wanted = String(names).split(/\s+/);
    return nodeList(collect(this, function (el) {
      var have = ' ' + el.className + ' ';
      for (var i = 0; i < wanted.length; i++) if (wanted[i] && have.indexOf(' ' + wanted[i] + ' ') < 0) return false;
      return true;
    }, []));
  };

  Node.prototype.cloneNode = function (deep) {
    var copy;
    if (this.nodeType === 3) return document.createTextNode(this.data);
    if (this.nodeType === 8) return document.createComment(this.data);
    if (this.nodeType === 11) copy = document.createDocumentFragment();
    else {
      copy = document.createElement(this.tagName);
      for (var key in this) {
        if (this.hasOwnProperty(key) && key !== 'childNodes' && key !== 'parentNode' && key !== 'style' && key !== '_attrs' && key !== '_props') copy[key] = this[key];
      }
      for (var p in this._props) if (this._props.hasOwnProperty(p)) copy._props[p] = this._props[p];
      for (var a in this._attrs) if (this._attrs.hasOwnProperty(a)) copy._attrs[a] = this._attrs[a];
      for (var s in this.style) if (this.style.hasOwnProperty(s)) copy.style[s] = this.style[s];
    }
    if (deep) for (var i = 0; i < this.childNodes.length; i++) copy.appendChild(this.childNodes[i].cloneNode(true));
    return copy;
  };

  // The standard listeners only: the system's control in the document mode
  // the pages ask for (the newest) has no attachEvent.
  Node.prototype.addEventListener = function (type, fn) {
    if (!this._listeners) this._listeners = {};
    var list = this._listeners[type] || (this._listeners[type] = []);
    if (indexOf(list, fn) < 0) list.push(fn);
  };
  Node.prototype.removeEventListener = function (type, fn) {
    var list = this._listeners && this._listeners[type];
    var at = list ? indexOf(list, fn) : -1;
    if (at >= 0) list.splice(at, 1);
  };

  function Text(data) {
    this.nodeType = 3;
    this.nodeName = '#text';
    this.data = data;
    this.parentNode = null;
    this.childNodes = [];
  }
  Text.prototype = new Node();
  accessor(Text.prototype, 'nodeValue', function () { return this.data; }, function (v) { this.data = whole(v); });
  accessor(Text.prototype, 'length', function () { return this.data.length; });

  function Comment(data) {
    this.nodeType = 8;
    this.nodeName = '#comment';
    this.data = data;
    this.parentNode = null;
    this.childNodes = [];
  }
  Comment.prototype = new Node();

  function Fragment() {
    this.nodeType = 11;
    this.nodeName = '#document-fragment';
    this.parentNode = null;
    this.childNodes = [];
  }
  Fragment.prototype = new Node();

  function Element(tag) {
    this.nodeType = 1;
    this.tagName = this.nodeName = tag;
    this.parentNode = null;
    this.childNodes = [];
    this._attrs = {};
    this._props = {};
    this.style = { display: '', visibility: '' };
    this.id = '';
    this.className = '';
    this.title = '';
    this.lang = '';
    this.dir = '';
    this.disabled = false;
    if (tag === 'INPUT') {
      this.type = 'text';
      this.value = '';
      this.checked = false;
      this.name = '';
    } else if (tag === 'BUTTON' || tag === 'SELECT' || tag === 'TEXTAREA' || tag === 'OPTION') {
      this.value = '';
      this.name = '';
      if (tag === 'BUTTON') this.type = 'submit';
      if (tag === 'OPTION') this.selected = false;
    } else if (tag === 'A') {
      this.href = '';
    }
  }
  Element.prototype = new Node();

  // Text properties are kept whole (see whole()), so pages and the document
  // compare them right.
  function textProperty(name) {
    accessor(Element.prototype, name, function () { return this._props[name]; }, function (value) {
      this._props[name] = whole(value);
    });
  }
  var TEXT_PROPERTIES = ['id', 'className', 'title', 'lang', 'dir', 'name', 'value', 'type', 'href', 'src'];
  for (var t = 0; t < TEXT_PROPERTIES.length; t++) textProperty(TEXT_PROPERTIES[t]);

  Element.prototype.setAttribute = function (name, value) {
    var key = String(name).toLowerCase();
    var text = whole(value);
    this._attrs[key] = text;
    if (REFLECTED.hasOwnProperty(key)) {
      this[REFLECTED[key]] = key === 'tabindex' ? parseInt(text, 10) : text;
    } else if (BOOLEAN_ATTRS.hasOwnProperty(key)) {
      this[BOOLEAN_ATTRS[key] === 1 ? key : BOOLEAN_ATTRS[key]] = true;
    } else if (key === 'style') {
      this.style = { display: '', visibility: '' };
      var parts = text.split(';');
      for (var i = 0; i < parts.length; i++) {
        var colon = parts[i].indexOf(':');
        if (colon > 0) this.style[camelCase(parts[i].substring(0, colon).replace(/^\s+|\s+$/g, '').toLowerCase())] = parts[i].substring(colon + 1).replace(/^\s+|\s+$/g, '');
      }
    }
  };

  Element.prototype.getAttribute = function (name) {
    var key = String(name).toLowerCase();
    if (REFLECTED.hasOwnProperty(key)) {
      var value = this[REFLECTED[key]];
      if (value === undefined || value === null || (value === '' && !this._attrs.hasOwnProperty(key))) return null;
      if (key === 'tabindex' && isNaN(value)) return null;
      return String(value);
    }
    if (BOOLEAN_ATTRS.hasOwnProperty(key)) {
      return this[BOOLEAN_ATTRS[key] === 1 ? key : BOOLEAN_ATTRS[key]] ? (this._attrs[key] || '') : null;
    }
    if (key === 'style') return styleText(this.style) || (this._attrs.hasOwnProperty('style') ? '' : null);
    return this._attrs.hasOwnProperty(key) ? this._attrs[key] : null;
  };

  Element.prototype.hasAttribute = function (name) { return this.getAttribute(name) !== null; };

  Element.prototype.removeAttribute = function (name) {
    var key = String(name).toLowerCase();
    delete this._attrs[key];
    if (REFLECTED.hasOwnProperty(key)) this[REFLECTED[key]] = key === 'tabindex' ? NaN : '';
    else if (BOOLEAN_ATTRS.hasOwnProperty(key)) this[BOOLEAN_ATTRS[key] === 1 ? key : BOOLEAN_ATTRS[key]] = false;
    else if (key === 'style') this.style = { display: '', visibility: '' };
  };

  Element.prototype.focus = function () {
    var previous = document.activeElement;
    document.activeElement = this;
    if (previous !== this) {
      if (previous && previous !== document.body) fire(previous, 'blur', false);
      fire(this, 'focus', false);
    }
  };
  Element.prototype.blur = function () {
    if (document.activeElement === this) {
      document.activeElement = document.body;
      fire(this, 'blur', false);
    }
  };
  Element.prototype.click = function () { click(this); };

  function styleText(style) {
    var out = [];
    for (var key in style) {
      if (style.hasOwnProperty(key) && typeof style[key] !== 'function' && style[key] !== '' && style[key] !== null && style[key] !== undefined) out.push(dashed(key) + ': ' + style[key]);
    }
    return out.join('; ');
  }

  function serialize(node) {
    if (node.nodeType === 3) {
      var parent = node.parentNode;
      return parent && RAW_TAGS[parent.tagName] ? node.data : escapeText(node.data);
    }
    if (node.nodeType === 8) return '<!--' + node.data + '-->';
    if (node.nodeType !== 1) return serializeChildren(node);
    var tag = node.tagName.toLowerCase();
    var out = '<' + tag;
    if (node.id) out += ' id="' + escapeAttr(node.id) + '"';
    if (node.className) out += ' class="' + escapeAttr(node.className) + '"';
    var style = styleText(node.style);
    if (style) out += ' style="' + escapeAttr(style) + '"';
    for (var key in node._attrs) {
      if (!node._attrs.hasOwnProperty(key) || key === 'id' || key === 'class' || key === 'classname' || key === 'style') continue;
      var value = node.getAttribute(key);
      if (value !== null) out += ' ' + key + '="' + escapeAttr(value) + '"';
    }
    if (node.tagName === 'INPUT' && node.checked && !node._attrs.hasOwnProperty('checked')) out += ' checked=""';
    out += '>';
    if (VOID_TAGS[node.tagName]) return out;
    return out + serializeChildren(node) + '</' + tag + '>';
  }

  function serializeChildren(node) {
    var out = '';
    for (var i = 0; i < node.childNodes.length; i++) out += serialize(node.childNodes[i]);
    return out;
  }

  accessor(Element.prototype, 'innerHTML', function () { return whole(serializeChildren(this)); }, function (html) {
    while (this.childNodes.length) this.removeChild(this.childNodes[0]);
    parseInto(html === null || html === undefined ? '' : String(html), this, null);
  });
  accessor(Element.prototype, 'outerHTML', function () { return whole(serialize(this)); });
  accessor(Element.prototype, 'parentElement', function () {
    return this.parentNode && this.parentNode.nodeType === 1 ? this.parentNode : null;
  });

  // ---- the markup parser ----------------------------------------------
  function isSpace(c) { return c === ' ' || c === '\t' || c === '\n' || c === '\r' || c === '\f'; }

  // The start tag at html[at] ('<'), or null when it is not one.
  function parseStartTag(html, at) {
    var n = html.length;
    var i = at + 1;
    var start = i;
    while (i < n && /[A-Za-z0-9:_-]/.test(html.charAt(i))) i++;
    if (i === start || !/[A-Za-z]/.test(html.charAt(start))) return null;
    var tag = { name: html.substring(start, i).toUpperCase(), attrs: [], selfClosing: false, end: n };
    for (;;) {
      while (i < n && isSpace(html.charAt(i))) i++;
      if (i >= n) return tag;
      var c = html.charAt(i);
      if (c === '>') { tag.end = i + 1; return tag; }
      if (c === '/' && html.charAt(i + 1) === '>') { tag.selfClosing = true; tag.end = i + 2; return tag; }
      if (c === '/') { i++; continue; }
      var nameStart = i;
      while (i < n && !isSpace(html.charAt(i)) && '=>/'.indexOf(html.charAt(i)) < 0) i++;
      var name = html.substring(nameStart, i);
      while (i < n && isSpace(html.charAt(i))) i++;
      var value = '';
      if (html.charAt(i) === '=') {
        i++;
        while (i < n && isSpace(html.charAt(i))) i++;
        var quote = html.charAt(i);
        if (quote === '"' || quote === "'") {
          var close = html.indexOf(quote, i + 1);
          if (close < 0) close = n;
          value = html.substring(i + 1, close);
          i = close + 1;
        } else {
          var valueStart = i;
          while (i < n && !isSpace(html.charAt(i)) && html.charAt(i) !== '>') i++;
          value = html.substring(valueStart, i);
        }
      }
      tag.attrs.push([name, decodeEntities(value)]);
    }
  }

  // Parses `html` into the children of `root`; script elements found are
  // appended to `scripts` (when given) in document order.
  function parseInto(html, root, scripts) {
    var stack = [root];
    var lower = null;
    var i = 0;
    var n = html.length;
    function top() { return stack[stack.length - 1]; }
    function text(t) {
      if (!t) return;
      var parent = top();
      var last = parent.lastChild;
      if (last && last.nodeType === 3) last.data += t;
      else parent.appendChild(document.createTextNode(t));
    }
    while (i < n) {
      var lt = html.indexOf('<', i);
      if (lt < 0) lt = n;
      if (lt > i) { text(decodeEntities(html.substring(i, lt))); i = lt; continue; }
      if (html.substr(i, 4) === '<!--') {
        var endComment = html.indexOf('-->', i + 4);
        top().appendChild(document.createComment(html.substring(i + 4, endComment < 0 ? n : endComment)));
        i = endComment < 0 ? n : endComment + 3;
        continue;
      }
      var next = html.charAt(i + 1);
      if (next === '!' || next === '?') {
        var endDecl = html.indexOf('>', i);
        i = endDecl < 0 ? n : endDecl + 1;
        continue;
      }
      if (next === '/') {
        var endClose = html.indexOf('>', i);
        var closing = html.substring(i + 2, endClose < 0 ? n : endClose).replace(/\s+$/, '').toUpperCase();
        i = endClose < 0 ? n : endClose + 1;
        for (var k = stack.length - 1; k > 0; k--) {
          if (stack[k].tagName === closing) { stack.length = k; break; }
        }
        continue;
      }
      var tag = parseStartTag(html, i);
      if (!tag) { text('<'); i++; continue; }
      i = tag.end;
      var el = document.createElement(tag.name);
      for (var a = 0; a < tag.attrs.length; a++) el.setAttribute(tag.attrs[a][0], tag.attrs[a][1]);
      top().appendChild(el);
      if (tag.name === 'SCRIPT' && scripts) scripts.push(el);
      if (tag.selfClosing || VOID_TAGS[tag.name]) continue;
      if (RAW_TAGS[tag.name] || ESCAPABLE_RAW_TAGS[tag.name]) {
        if (lower === null) lower = html.toLowerCase();
        var endRaw = lower.indexOf('</' + tag.name.toLowerCase(), i);
        if (endRaw < 0) endRaw = n;
        var raw = html.substring(i, endRaw);
        if (raw) el.appendChild(document.createTextNode(RAW_TAGS[tag.name] ? raw : decodeEntities(raw)));
        var endTag = html.indexOf('>', endRaw);
        i = endTag < 0 ? n : endTag + 1;
        continue;
      }
      stack.push(el);
    }
  }

  // ---- document and window --------------------------------------------
  function Document() {
    this.nodeType = 9;
    this.nodeName = '#document';
    this.parentNode = null;
    this.childNodes = [];
    this.activeElement = null;
    this.readyState = 'loading';
    this._title = null;
  }
  Document.prototype = new Node();
  Document.prototype.createElement = function (tag) { return new Element(String(tag).toUpperCase()); };
  Document.prototype.createTextNode = function (data) { return new Text(whole(data)); };
  Document.prototype.createComment = function (data) { return new Comment(whole(data)); };
  Document.prototype.createDocumentFragment = function () { return new Fragment(); };
  Document.prototype.getElementById = function (id) {
    var wanted = whole(id);
    var found = collect(this, function (el) { return el.id === wanted; }, []);
    return found.length ? found[0] : null;
  };
  accessor(Document.prototype, 'documentElement', function () {
    for (var i = 0; i < this.childNodes.length; i++) if (this.childNodes[i].nodeType === 1) return this.childNodes[i];
    return null;
  });
  accessor(Document.prototype, 'body', function () {
    var found = this.getElementsByTagName('BODY');
    return found.length ? found[0] : null;
  });
  accessor(Document.prototype, 'head', function () {
    var found = this.getElementsByTagName('HEAD');
    return found.length ? found[0] : null;
  });
  accessor(Document.prototype, 'title', function () {
    if (this._title !== null) return this._title;
    var found = this.getElementsByTagName('TITLE');
    return found.length ? found[0].textContent.replace(/^\s+|\s+$/g, '').replace(/\s+/g, ' ') : '';
  }, function (value) {
    this._title = whole(value);
    var found = this.getElementsByTagName('TITLE');
    if (found.length) found[0].textContent = this._title;
  });

  var document = new Document();
  var location = { href: native.pageUrl, toString: function () { return this.href; } };
  var hashAt = location.href.indexOf('#');
  location.hash = hashAt < 0 ? '' : location.href.substring(hashAt);
  location.protocol = 'res:';
  document.location = location;
  document.URL = native.pageUrl;
  document.parentWindow = document.defaultView = global;

  // ---- events ---------------------------------------------------------
  function makeEvent(type, target) {
    var evt = {
      type: type, target: target, srcElement: target, currentTarget: target,
      cancelBubble: false, returnValue: true, defaultPrevented: false,
      preventDefault: function () { this.defaultPrevented = true; this.returnValue = false; },
      stopPropagation: function () { this.cancelBubble = true; }
    };
    return evt;
  }

  // The handler of an on<type> property, or of the on<type> attribute
  // (compiled once per attribute text, with `event` as its argument).
  function handlerOf(node, type) {
    var fn = node['on' + type];
    if (typeof fn === 'function') return fn;
    var source = node._attrs && node._attrs['on' + type];
    if (typeof source !== 'string') return null;
    if (!node._compiled || node._compiled[type + '\u0000' + source] === undefined) {
      if (!node._compiled) node._compiled = {};
      node._compiled[type + '\u0000' + source] = new Function('event', source);
    }
    return node._compiled[type + '\u0000' + source];
  }

  function invoke(fn, node, evt) {
    try {
      if (fn.call(node, evt) === false) evt.preventDefault();
    } catch (e) {
      reportError(e);
    }
  }

  // Runs the handlers of `target` (and, when bubbling, of its ancestors).
  function fire(target, type, bubbles, evt) {
    evt = evt || makeEvent(type, target);
    var saved = global.event;
    global.event = evt;
    try {
      for (var node = target; node; node = bubbles ? node.parentNode : null) {
        evt.currentTarget = node;
        var own = handlerOf(node, type);
        if (own) invoke(own, node, evt);
        var list = node._listeners && node._listeners[type];
        if (list) {
          list = list.slice(0);
          for (var i = 0; i < list.length; i++) invoke(list[i], node, evt);
        }
        if (evt.cancelBubble) break;
      }
    } finally {
      global.event = saved;
    }
    return evt;
  }

  function click(el) {
    if (el.disabled) return;
    var toggled = false;
    var wasChecked = el.checked;
    if (el.tagName === 'INPUT' && el.type === 'checkbox') {
      el.checked = !el.checked;
      toggled = true;
    } else if (el.tagName === 'INPUT' && el.type === 'radio') {
      if (el.name) {
        var group = document.getElementsByTagName('INPUT');
        for (var g = 0; g < group.length; g++) if (group[g].type === 'radio' && group[g].name === el.name) group[g].checked = false;
      }
      el.checked = true;
      toggled = true;
    }
    var evt = fire(el, 'click', true);
    if (evt.defaultPrevented) {
      if (toggled) el.checked = wasChecked;
      return;
    }
    for (var node = el; node; node = node.parentNode) {
      if (node.tagName === 'A' && node.href) { native.navigate(node.href); break; }
    }
  }

  function focusable(el) {
    if (el.disabled) return false;
    for (var p = el; p && p.nodeType === 1; p = p.parentNode) {
      if (p.style.display === 'none' || p.style.visibility === 'hidden') return false;
    }
    if (typeof el.tabIndex === 'number' && !isNaN(el.tabIndex)) return el.tabIndex >= 0;
    var t = el.tagName;
    return (t === 'INPUT' && el.type !== 'hidden') || t === 'BUTTON' || t === 'SELECT' || t === 'TEXTAREA' || (t === 'A' && !!el.href);
  }

  // ---- timers and requests --------------------------------------------
  var timers = {};
  var nextTimer = 1;

  function addTimer(fn, ms, repeat, args) {
    var id = nextTimer++;
    var delay = Math.max(0, parseInt(ms, 10) || 0);
    timers[id] = { fn: fn, ms: delay, repeat: repeat, args: args };
    native.setTimer(id, delay);
    return id;
  }

  function removeTimer(id) {
    if (timers.hasOwnProperty(id)) {
      delete timers[id];
      native.clearTimer(id);
    }
  }

  // An error as the system's components throw them: `number` is the
  // HRESULT (as JScript gives it, a signed 32-bit number).
  function componentError(hresult, message) {
    var e = new Error(message);
    e.number = hresult | 0;
    e.description = message;
    return e;
  }

  function isHttp(url) { return /^https?:\/\//i.test(url); }

  // The browser's own request object as the system's control has it: `open`
  // refuses every address but http and https ("Access is denied"), so
  // res:// and file:// pages cannot read their neighbours through it. The
  // stand-in serves no network, so an http or https request fails in send.
  function XMLHttpRequest() {
    this.readyState = 0;
    this.status = 0;
    this.statusText = '';
    this.responseText = '';
    this.onreadystatechange = null;
  }
  XMLHttpRequest.prototype.open = function (method, url) {
    var target = native.resolve(String(url));
    if (!isHttp(target)) throw componentError(0x80070005, 'Access is denied.');
    this._method = String(method);
    this._url = target;
    this.readyState = 1;
  };
  XMLHttpRequest.prototype.setRequestHeader = function () {};
  XMLHttpRequest.prototype.getResponseHeader = function () { return null; };
  XMLHttpRequest.prototype.getAllResponseHeaders = function () { return ''; };
  XMLHttpRequest.prototype.abort = function () {};
  XMLHttpRequest.prototype.overrideMimeType = function () {};
  XMLHttpRequest.prototype.send = function () {
    if (this.readyState !== 1) throw componentError(0x8000FFFF, 'XMLHttpRequest: send before open');
    throw componentError(0x800C0005, 'Network error: the stand-in control serves no http or https addresses');
  };

  // Msxml2.XMLHTTP and Microsoft.XMLHTTP of the XML component: open(method,
  // url[, async]) with async true unless given false; send answers res://
  // addresses from the module's resources and throws for a missing one;
  // status and the response throw until the request has finished.
  function XmlHttp() {
    this._state = 0;
    this._url = '';
    this._async = true;
    this._text = null;
    this._error = null;
    this._timer = 0;
    this.onreadystatechange = null;
  }
  XmlHttp.prototype._finished = function () {
    if (this._state !== 4) throw componentError(0x8000000A, 'The data necessary to complete this operation is not yet available.');
    if (this._error) throw this._error;
  };
  XmlHttp.prototype._complete = function () {
    this._timer = 0;
    if (!/^res:\/\//i.test(this._url)) {
      this._error = componentError(0x800C0005, 'The stand-in control serves only res:// addresses');
    } else {
      var text = native.load(this._url);
      if (text === null || text === undefined) this._error = componentError(0x800C0005, 'The system cannot locate the resource specified.');
      else this._text = String(text);
    }
    this._state = 4;
    if (this.onreadystatechange) {
      try {
        this.onreadystatechange();
      } catch (e) {
        reportError(e);
      }
    }
  };
  accessor(XmlHttp.prototype, 'readyState', function () { return this._state; });
  accessor(XmlHttp.prototype, 'status', function () { this._finished(); return 200; });
  accessor(XmlHttp.prototype, 'statusText', function () { this._finished(); return 'OK'; });
  accessor(XmlHttp.prototype, 'responseText', function () { this._finished(); return this._text; });
  accessor(XmlHttp.prototype, 'responseXML', function () {
    this._finished();
    var doc = native.createXmlDocument('Msxml2.DOMDocument');
    doc.async = false;
    doc.load(this._url);
    return doc;
  });
  XmlHttp.prototype.open = function (method, url, async) {
    this.abort();
    this._method = String(method);
    this._url = native.resolve(String(url));
    this._async = async === undefined ? true : !!async;
    this._state = 1;
  };
  XmlHttp.prototype.send = function () {
    if (this._state !== 1 || this._timer) throw componentError(0xC00CE243, 'This method cannot be called until the open method has been called.');
    if (this._async) {
      var self = this;
      this._timer = addTimer(function () { self._complete(); }, 0, false, []);
      return;
    }
    this._complete();
    if (this._error) throw this._error;
  };
  XmlHttp.prototype.abort = function () {
    if (this._timer) removeTimer(this._timer);
    this._timer = 0;
    this._state = 0;
    this._text = null;
    this._error = null;
  };
  XmlHttp.prototype.setRequestHeader = function () {
    if (this._state !== 1) throw componentError(0xC00CE243, 'This method cannot be called until the open method has been called.');
  };
  XmlHttp.prototype.getResponseHeader = function () { this._finished(); return ''; };
  XmlHttp.prototype.getAllResponseHeaders = function () { this._finished(); return ''; };

  // What `new ActiveXObject` creates in the system's control for these
  // pages: the XML component's request and document objects, and nothing
  // else (other objects need zone settings a page cannot count on).
  var XML_HTTP_PROGIDS = { 'microsoft.xmlhttp': 1, 'msxml2.xmlhttp': 1, 'msxml2.xmlhttp.3.0': 1, 'msxml2.xmlhttp.6.0': 1 };
  var XML_DOCUMENT_PROGIDS = { 'microsoft.xmldom': 1, 'msxml2.domdocument': 1, 'msxml2.domdocument.3.0': 1,
    'msxml2.domdocument.6.0': 1 };
  function ActiveXObject(progId) {
    var id = String(progId).toLowerCase();
    if (XML_HTTP_PROGIDS.hasOwnProperty(id)) return new XmlHttp();
    if (XML_DOCUMENT_PROGIDS.hasOwnProperty(id)) {
      var doc = native.createXmlDocument(String(progId));
      if (doc) return doc;
    }
    throw componentError(0x800A01AD, "Automation server can't create object");
  }

  // ---- globals --------------------------------------------------------
  global.window = global;
  global.self = global;
  global.top = global;
  global.parent = global;
  global.document = document;
  global.location = location;
  global.external = native.external;
  global.event = null;
  global.navigator = { userAgent: 'Mozilla/4.0 (compatible; BrowserStandin)', appName: 'BrowserStandin',
    language: 'en-US', userLanguage: 'en-US', platform: 'Win64' };
  global.XMLHttpRequest = XMLHttpRequest;
  global.ActiveXObject = ActiveXObject;
  global.alert = function (text) { native.alert(String(text)); };
  global.setTimeout = function (fn, ms) { return addTimer(fn, ms, false, Array.prototype.slice.call(arguments, 2)); };
  global.setInterval = function (fn, ms) { return addTimer(fn, ms, true, Array.prototype.slice.call(arguments, 2)); };
  global.clearTimeout = removeTimer;
  global.clearInterval = removeTimer;
  global.addEventListener = function (type, fn) { windowNode.addEventListener(type, fn); };
  global.removeEventListener = function (type, fn) { windowNode.removeEventListener(type, fn); };
  var windowNode = new Node();

  // ---- what the control calls -----------------------------------------
  return {
    loadPage: function () {
      var scripts = [];
      parseInto(native.pageText, document, scripts);
      if (!document.body) {
        var host = document.documentElement || document;
        host.appendChild(document.createElement('BODY'));
      }
      document.activeElement = document.body;
      for (var i = 0; i < scripts.length; i++) {
        var src = scripts[i].getAttribute('src');
        if (src !== null) {
          var code = native.load(src);
          if (code === null || code === undefined) native.scriptError('cannot load script ' + src);
          else native.runScript(code);
        } else {
          native.runScript(scripts[i].textContent);
        }
      }
      document.readyState = 'complete';
      var evt = makeEvent('load', document);
      var onload = typeof global.onload === 'function' ? global.onload : handlerOf(document.body, 'load');
      global.event = evt;
      if (onload) invoke(onload, global, evt);
      var list = (windowNode._listeners && windowNode._listeners.load) || [];
      for (var k = 0; k < list.length; k++) invoke(list[k], global, evt);
      global.event = null;
    },
    clickById: function (id) {
      var el = document.getElementById(id);
      if (!el) return false;
      click(el);
      return true;
    },
    moveFocus: function (backwards) {
      var list = collect(document, focusable, []);
      if (!list.length) return false;
      var at = indexOf(list, document.activeElement);
      var next;
      if (backwards) next = at <= 0 ? list.length - 1 : at - 1;
      else next = (at < 0 || at === list.length - 1) ? 0 : at + 1;
      list[next].focus();
      return true;
    },
    activateFocused: function () {
      var el = document.activeElement;
      if (!el || el === document.body || !focusable(el)) return false;
      click(el);
      return true;
    },
    fireTimer: function (id) {
      var timer = timers[id];
      if (!timer) return;
      if (timer.repeat) native.setTimer(id, timer.ms);
      else delete timers[id];
      try {
        if (typeof timer.fn === 'function') timer.fn.apply(global, timer.args);
        else (new Function(String(timer.fn)))();
      } catch (e) {
        reportError(e);
      }
    }
  };
})(this, standinNative);
