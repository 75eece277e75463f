// Plays the session in session.json against the native host once, when the
// extension is installed:
//
//  1. connects and sends the "opening" envelopes;
//  2. reports every message that arrives back to the host as a "log" message
//     at level 7 whose text is JSON.stringify({received: message}), so the
//     message reaches the agent's log exactly as this extension saw it;
//  3. after "expectedReplies" messages, sends the "closing" envelopes, the
//     last of which makes the agent answer with the "farewell" text;
//  4. on the farewell, closes the port, which ends the host's input.
//
// The host handles frames in order, so once the farewell is here every
// earlier report has been handled. Console lines carry the tag below; the
// test shows them when something goes wrong.
'use strict';

const kTag = '[corvantilhub-test]';
const kReportLevel = 7;

function describe(message) {
  const text = JSON.stringify(message);
  return text.length > 200 ? `${text.slice(0, 200)}... (${text.length} chars)` : text;
}

function reportEnvelope(tabID, message) {
  return {
    tabID,
    type: 'log',
    payload: {level: kReportLevel, message: JSON.stringify({received: message})},
  };
}

async function loadSession() {
  const response = await fetch(chrome.runtime.getURL('session.json'));
  return response.json();
}

function playSession(session) {
  const tabID = session.opening[0].tabID;
  const port = chrome.runtime.connectNative(session.hostName);
  let received = 0;
  let closing = false;

  port.onMessage.addListener((message) => {
    console.log(kTag, 'received', describe(message));
    if (closing) {
      if (message === session.farewell) {
        console.log(kTag, 'farewell received; closing the port');
        port.disconnect();
      }
      return;
    }
    port.postMessage(reportEnvelope(tabID, message));
    received += 1;
    if (received === session.expectedReplies) {
      closing = true;
      console.log(kTag, 'all expected replies received; sending the closing envelopes');
      session.closing.forEach((envelope) => port.postMessage(envelope));
    }
  });

  port.onDisconnect.addListener(() => {
    const error = chrome.runtime.lastError;
    console.log(kTag, 'port closed by the host or browser:', error ? error.message : 'no error');
  });

  session.opening.forEach((envelope) => port.postMessage(envelope));
  console.log(kTag, 'connected; opening envelopes sent');
}

chrome.runtime.onInstalled.addListener(() => {
  loadSession().then(playSession, (error) => console.log(kTag, 'no session:', String(error)));
});
