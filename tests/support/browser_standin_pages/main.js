order.push('file');
var linkClicks = 0;
var stringsStatus = 0;
var missingStatus = 0;
function fromScriptFile() { return 'yes'; }
function loaded() {
  var request = new XMLHttpRequest();
  request.open('GET', 'strings_en.wxl', false);
  request.send();
  stringsStatus = request.status;
  var match = /<String Id="title">([^<]*)<\/String>/.exec(request.responseText);
  document.getElementById('strings').innerText = match ? match[1] : 'none';
  var missing = new XMLHttpRequest();
  missing.open('GET', 'nothere.wxl', false);
  missing.send();
  missingStatus = missing.status;
  setTimeout(function () { document.getElementById('timer').innerText = 'fired'; }, 300);
  var cancelled = setTimeout(function () { document.getElementById('timer').innerText = 'cancelled timer ran'; }, 10);
  clearTimeout(cancelled);
}
