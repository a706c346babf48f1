// The admin editor: turns a textarea into an editable HTML area with a toolbar.
//   <script src="htmlarea/htmlarea.js"></script>
//   <textarea id="description" name="description">...</textarea>
//   <script>HTMLArea.replace("description");</script>
// The textarea stays in the form and receives the HTML when the form is submitted.
var HTMLArea = (function () {
  var base = (function () {
    var scripts = document.getElementsByTagName("script");
    var src = scripts[scripts.length - 1].src;
    return src.substring(0, src.lastIndexOf("/") + 1);
  })();

  var buttons = [
    ["bold", "Bold", function (a) { a.command("bold"); }],
    ["italic", "Italic", function (a) { a.command("italic"); }],
    ["underline", "Underline", function (a) { a.command("underline"); }],
    ["ul", "Bulleted list", function (a) { a.command("insertUnorderedList"); }],
    ["ol", "Numbered list", function (a) { a.command("insertOrderedList"); }],
    ["link", "Insert link", function (a) { a.popup("insert_link.html", "createLink"); }],
    ["image", "Insert image", function (a) { a.popup("insert_image.html", "insertImage"); }],
    ["html", "Edit the HTML source", function (a) { a.toggleSource(); }]
  ];

  function Area(textarea) {
    var self = this;
    this.textarea = textarea;
    this.frame = document.createElement("div");
    this.frame.className = "htmlarea";
    var bar = document.createElement("div");
    bar.className = "toolbar";
    buttons.forEach(function (b) {
      var img = document.createElement("img");
      img.src = base + "images/" + b[0] + ".gif";
      img.alt = img.title = b[1];
      img.onclick = function () { b[2](self); return false; };
      bar.appendChild(img);
    });
    this.editor = document.createElement("div");
    this.editor.className = "editor";
    this.editor.contentEditable = "true";
    this.editor.innerHTML = textarea.value;
    this.frame.appendChild(bar);
    this.frame.appendChild(this.editor);
    textarea.style.display = "none";
    textarea.parentNode.insertBefore(this.frame, textarea);
    this.source = false;
    if (textarea.form) {
      textarea.form.addEventListener("submit", function () { self.save(); });
    }
  }

  Area.prototype.command = function (name, value) {
    if (this.source) return;
    this.editor.focus();
    document.execCommand(name, false, value || null);
  };

  Area.prototype.save = function () {
    if (!this.source) this.textarea.value = this.editor.innerHTML;
  };

  Area.prototype.toggleSource = function () {
    if (!this.source) {
      this.textarea.value = this.editor.innerHTML;
      this.textarea.className = "source";
      this.textarea.style.display = "";
      this.frame.appendChild(this.textarea);
      this.editor.style.display = "none";
    } else {
      this.editor.innerHTML = this.textarea.value;
      this.textarea.style.display = "none";
      this.editor.style.display = "";
    }
    this.source = !this.source;
  };

  // Opens a popup page that asks for an address and calls back HTMLArea.answer.
  Area.prototype.popup = function (page, commandName) {
    HTMLArea.pending = { area: this, command: commandName };
    window.open(base + "popups/" + page, "htmlarea_popup",
                "width=420,height=180,resizable=yes,scrollbars=no");
  };

  return {
    replace: function (id) {
      var textarea = document.getElementById(id);
      return textarea ? new Area(textarea) : null;
    },
    pending: null,
    answer: function (value) {
      var p = HTMLArea.pending;
      HTMLArea.pending = null;
      if (p && value) p.area.command(p.command, value);
    }
  };
})();
