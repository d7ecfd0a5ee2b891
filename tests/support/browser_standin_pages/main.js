order.push('file');
var linkClicks = 0;
var stringsStatus = 0;
var missingStatus = 0;
function fromScriptFile() { return 'yes'; }
function loaded() {
  // As in the system's control, a res:// page reads its neighbours through
  // the XML component.
  var request = new ActiveXObject('Msxml2.XMLHTTP');
  request.open('GET', 'strings_en.wxl', false);
  request.send();
  stringsStatus = request.status;
  var match = /<String Id="title">([^<]*)<\/String>/.exec(request.responseText);
  document.getElementById('strings').innerText = match ? match[1] : 'none';
  var missing = new ActiveXObject('Msxml2.XMLHTTP');
  missing.open('GET', 'nothere.wxl', false);
  try {
    missing.send();
    missingStatus = missing.status;
  } catch (e) {
    missingStatus = 'not found';
  }
  setTimeout(function () { document.getElementById('timer').innerText = 'fired'; }, 300);
  var cancelled = setTimeout(function () { document.getElementById('timer').innerText = 'cancelled timer ran'; }, 10);
  clearTimeout(cancelled);
}
