// The push-message page's script (HTML resource 2001). Plain ECMAScript 3:
// it runs in whatever document mode the embedded browser is given, with no
// library. The window reaches addImg and setUrl by name; the page reaches
// the window through window.external.
var pushLink = "";
// The window's token for the shown message: OpenUrl counts only with it.
var pushToken = "";

// An http or https address without control characters or spaces: whatever
// the server sent, nothing else is put into the page (a "javascript:"
// address would run as this page's script, which reaches the window).
function pushIsWebAddress(url) {
  return typeof url === "string" && /^https?:\/\/[^\/\\?#@\s\x00-\x1f\x7f-\x9f]+([\/?#][^\s\x00-\x1f\x7f-\x9f]*)?$/i.test(url);
}

function pushById(id) { return document.getElementById(id); }

// The window's methods; a page without its window (opened on its own) does
// nothing.
function pushCall(method, argument) {
  try {
    var host = window.external;
    if (method === "ResizeDlg") { host.ResizeDlg(argument); }
    else if (method === "OpenUrl") { host.OpenUrl(argument, pushToken); pushToken = ""; }
    else if (method === "HideMsgDialog") { host.HideMsgDialog(); }
  } catch (e) {
  }
}

function pushShowOnly(id) {
  pushById("banner").style.display = id === "banner" ? "block" : "none";
  pushById("offer").style.display = id === "offer" ? "block" : "none";
}

// "message id|image URL|link URL": the banner shows the image, the page
// takes the image's size and asks the window for the same. `token` is
// handed back with the click's OpenUrl.
function addImg(text, token) {
  var parts = String(text).split("|");
  var image = pushById("bannerImage");
  var source = parts.length > 1 ? parts[1] : "";
  pushLink = parts.length > 2 ? parts.slice(2).join("|") : "";
  pushToken = token ? String(token) : "";
  if (!pushIsWebAddress(source) || (pushLink !== "" && !pushIsWebAddress(pushLink))) {
    pushLink = "";
    return;
  }
  pushShowOnly("banner");
  image.onload = function () {
    var width = image.naturalWidth || image.width;
    var height = image.naturalHeight || image.height;
    image.style.width = width + "px";
    image.style.height = height + "px";
    document.body.style.width = width + "px";
    document.body.style.height = height + "px";
    pushCall("ResizeDlg", width + "|" + height);
  };
  image.src = source;
}

// "message id|page URL|width|height|XA|mac|isPackage|id|code|platID": the
// offer page in the inner frame at the given size.
function setUrl(text, token) {
  var f = String(text).split("|");
  while (f.length < 10) { f.push(""); }
  pushToken = token ? String(token) : "";
  if (!pushIsWebAddress(f[1])) { return; }
  var q = encodeURIComponent;
  var url = f[1] + (f[4] !== "" ? "?XA=" + q(f[4]) + "&mac=" : "?mac=") + q(f[5]) +
            "&isPackage=" + q(f[6]) + "&id=" + q(f[7]) + "&code=" + q(f[8]) + "&platID=" + q(f[9]);
  var frame = pushById("offerFrame");
  var width = parseInt(f[2], 10) || 0;
  var height = parseInt(f[3], 10) || 0;
  frame.style.width = width + "px";
  frame.style.height = height + "px";
  frame.width = width;
  frame.height = height;
  pushShowOnly("offer");
  frame.src = url;
}

function pushClose() {
  pushCall("HideMsgDialog");
  return false;
}

window.onload = function () {
  pushById("bannerImage").onclick = function () {
    if (pushLink !== "") { pushCall("OpenUrl", pushLink); }
    return false;
  };
  pushById("bannerClose").onclick = pushClose;
  pushById("offerClose").onclick = pushClose;
};
