#pragma once

#include <QJsonObject>

// What the page knows of the panel, written into it as it is served so that nothing
// is typed a second time in the page: every command (character, caption, kind, and a
// memory key's place on the window's keypad), how long the link may stay silent, and
// the bus names of the properties the page shows.
//   {"commands":[{"c":"T","caption":"Transmit","kind":"function","red":true}, ...,
//                {"c":"7","caption":"7","kind":"memory","row":0,"column":0}, ...],
//    "keypad":"7894561230", "silenceMs":3000, "properties":{"status":"Status", ...}}
QJsonObject pageContract();
