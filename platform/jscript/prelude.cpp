// The part of JScript's library written in script, run once in every new heap before its
// built-ins are frozen and imaged:
//   - JScript's Error constructor (number first), and `number` and `description` on every error;
//   - Date's getVarDate, and JScript's forms of a date as text ("Thu Jan 1 00:00:00 UTC 1970",
//     "Thu, 1 Jan 1970 00:00:00 UTC", "NaN" for an invalid date; the locale forms are the
//     United States' long date and time);
//   - Date.parse and new Date(text) by JScript's rules;
//   - RegExp.$1 ... $9 and the other statics of the last match;
//   - parseInt's octal reading of a leading 0.
#include "platform/jscript/prelude.h"

namespace jscript {
namespace {

constexpr const char* kPrelude = R"JS(
(function (global, NativeError) {
  var define = Object.defineProperty;
  function Error(number, description) {
    if (typeof number === "number") {
      var error = new NativeError(description === undefined ? "" : description);
      error.number = number;
      return error;
    }
    return arguments.length === 0 ? new NativeError() : new NativeError(number);
  }
  Error.prototype = NativeError.prototype;
  define(NativeError.prototype, "constructor", {value: Error, writable: true, configurable: true});
  define(NativeError.prototype, "number", {value: 0, writable: true, configurable: true});
  define(NativeError.prototype, "description", {
    get: function () { return this.message; },
    set: function (text) { this.message = text; },
    configurable: true
  });
  define(global, "Error", {value: Error, writable: true, configurable: true});
  define(Date.prototype, "getVarDate", {
    value: function getVarDate() { return new Date(this.getTime()); },
    writable: true, configurable: true
  });

  var days = ["Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"];
  var months = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"];
  var dayNames = ["Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"];
  var monthNames = ["January", "February", "March", "April", "May", "June", "July", "August",
                    "September", "October", "November", "December"];
  function two(n) { return n < 10 ? "0" + n : "" + n; }
  function clock(h, m, s) { return two(h) + ":" + two(m) + ":" + two(s); }
  function zone(date) {
    var east = -date.getTimezoneOffset();
    if (east === 0) return "UTC";
    var size = Math.abs(east);
    return "UTC" + (east > 0 ? "+" : "-") + two(Math.floor(size / 60)) + two(size % 60);
  }
  function dateText(d) { return days[d.getDay()] + " " + months[d.getMonth()] + " " + d.getDate(); }
  function timeText(d) { return clock(d.getHours(), d.getMinutes(), d.getSeconds()) + " " + zone(d); }
  function localeDate(d) {
    return dayNames[d.getDay()] + ", " + monthNames[d.getMonth()] + " " + two(d.getDate()) + ", " + d.getFullYear();
  }
  function localeTime(d) {
    var hour = d.getHours() % 12 === 0 ? 12 : d.getHours() % 12;
    return hour + ":" + two(d.getMinutes()) + ":" + two(d.getSeconds()) + (d.getHours() < 12 ? " AM" : " PM");
  }
  function textForm(name, form) {
    define(Date.prototype, name, {
      value: function () { return isNaN(this.getTime()) ? "NaN" : form(this); },
      writable: true, configurable: true
    });
  }
  textForm("toString", function (d) { return dateText(d) + " " + timeText(d) + " " + d.getFullYear(); });
  textForm("toDateString", function (d) { return dateText(d) + " " + d.getFullYear(); });
  textForm("toTimeString", timeText);
  textForm("toLocaleString", function (d) { return localeDate(d) + " " + localeTime(d); });
  textForm("toLocaleDateString", localeDate);
  textForm("toLocaleTimeString", localeTime);
  textForm("toUTCString", function (d) {
    return days[d.getUTCDay()] + ", " + d.getUTCDate() + " " + months[d.getUTCMonth()] + " " + d.getUTCFullYear() +
           " " + clock(d.getUTCHours(), d.getUTCMinutes(), d.getUTCSeconds()) + " UTC";
  });
  define(Date.prototype, "toGMTString", {value: Date.prototype.toUTCString, writable: true, configurable: true});

  // Date.parse and new Date(text) read dates by JScript's rules: "7/20/96" month first, long
  // dates with the month by name ("Jul", "July 10 1995", parts in any order), times "10:",
  // "10:11", "10:11:12" with AM/PM, the standard zones, "UTC+0530", comments in parentheses,
  // commas and spaces as separators; two-digit years are 19xx. Text they refuse is tried as
  // ISO dates.
  var NativeDate = Date;
  var nativeParse = NativeDate.parse;
  var nativeTest = RegExp.prototype.test;  // the prelude's own tests leave RegExp.$1 alone
  var monthWords = ["january", "february", "march", "april", "may", "june", "july", "august",
                    "september", "october", "november", "december"];
  var dayWords = ["sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"];
  var zoneMinutes = {ut: 0, utc: 0, gmt: 0, z: 0, est: -300, edt: -240, cst: -360, cdt: -300,
                     mst: -420, mdt: -360, pst: -480, pdt: -420};
  function nameIndex(word, names) {  // the last name the word begins (two letters at least)
    var found = -1;
    if (word.length < 2) return -1;
    for (var i = 0; i < names.length; i++) if (names[i].indexOf(word) === 0) found = i;
    return found;
  }
  function isNumber(token) { return token !== undefined && nativeTest.call(/^[0-9]+$/, token); }
  function withoutComments(text) {  // in one pass: strings cannot grow in place
    var kept = [], depth = 0, start = 0;
    for (var i = 0; i < text.length; i++) {
      var c = text.charAt(i);
      if (c === "(") {
        if (depth++ === 0) kept.push(text.slice(start, i));
      } else if (c === ")") {
        if (depth === 0) kept.push(text.slice(start, i));
        else depth--;
        if (depth === 0) start = i + 1;
      }
    }
    if (depth === 0) kept.push(text.slice(start));
    return kept.join("");
  }
  function readJScriptDate(text) {
    var tokens = withoutComments(text).toLowerCase().match(/[a-z]+\.?|[0-9]+|[\/:+-]|[^\s,]/g) || [];
    var year = -1, month = -1, day = -1, hour = -1, minute = 0, second = 0, half = "", offset = null;
    for (var at = 0; at < tokens.length;) {
      var token = tokens[at];
      if (isNumber(token)) {
        var value = +token;
        if (tokens[at + 1] === ":") {
          if (hour >= 0) return NaN;
          hour = value;
          at += 2;
          if (isNumber(tokens[at])) {
            minute = +tokens[at++];
            if (tokens[at] === ":") {
              at++;
              if (isNumber(tokens[at])) second = +tokens[at++];
            }
          }
        } else if ((tokens[at + 1] === "/" || tokens[at + 1] === "-") && isNumber(tokens[at + 2])) {
          var separator = tokens[at + 1];
          if (month >= 0 || day >= 0 || year >= 0 || tokens[at + 3] !== separator || !isNumber(tokens[at + 4])) return NaN;
          month = value - 1;
          day = +tokens[at + 2];
          year = +tokens[at + 4];
          at += 5;
        } else {
          if (value > 31 || token.length > 2) {
            if (year >= 0) return NaN;
            year = value;
          } else if (day < 0) {
            day = value;
          } else if (year < 0) {
            year = value;
          } else {
            return NaN;
          }
          at++;
        }
      } else if ((token === "+" || token === "-") && isNumber(tokens[at + 1])) {
        var digits = tokens[at + 1];
        var size = digits.length > 2 ? +digits.slice(0, -2) * 60 + +digits.slice(-2) : +digits * 60;
        offset = (offset === null ? 0 : offset) + (token === "+" ? size : -size);
        at += 2;
      } else {
        var word = token.replace(/\.$/, ""), named;
        if (word === "am" || word === "a" || word === "pm" || word === "p") {
          half = word.charAt(0);
        } else if (zoneMinutes.hasOwnProperty(word)) {
          offset = zoneMinutes[word];
        } else if ((named = nameIndex(word, monthWords)) >= 0) {
          if (month >= 0) return NaN;
          month = named;
        } else if (nameIndex(word, dayWords) < 0) {
          return NaN;  // the day of the week is ignored; anything else is no date
        }
        at++;
      }
    }
    if (year < 0 || month < 0 || month > 11 || day < 1 || day > 31) return NaN;
    if (year < 100) year += 1900;
    if (hour < 0) hour = 0;
    if (half !== "") {
      if (hour > 12) return NaN;
      if (half === "p" && hour < 12) hour += 12;
      if (half === "a" && hour === 12) hour = 0;
    }
    if (offset === null) return new NativeDate(year, month, day, hour, minute, second).getTime();
    return NativeDate.UTC(year, month, day, hour, minute, second) - offset * 60000;
  }
  function parse(text) {
    var source = String(text);
    // No date is longer than this; longer text is not worth reading word by word.
    var time = source.length <= 1024 ? readJScriptDate(source) : NaN;
    return isNaN(time) ? nativeParse(source) : time;
  }
  // A named function expression: inside it Date is itself; outside, the prelude's Date stays
  // Duktape's until the global is replaced below.
  var JScriptDate = function Date(year, month, day, hours, minutes, seconds, ms) {
    if (!(this instanceof Date)) return new NativeDate().toString();
    var count = arguments.length;
    if (count === 0) return new NativeDate();
    if (count > 1) {
      return new NativeDate(year, month, count > 2 ? day : 1, count > 3 ? hours : 0, count > 4 ? minutes : 0,
                            count > 5 ? seconds : 0, count > 6 ? ms : 0);
    }
    var value = year;
    if (value instanceof NativeDate) return new NativeDate(value.getTime());
    if (typeof value === "object" && value !== null) {
      var primitive = value.valueOf();  // a host object's default value: a field's date
      if (primitive instanceof NativeDate) return new NativeDate(primitive.getTime());
      value = typeof primitive === "object" ? value.toString() : primitive;
    }
    return new NativeDate(typeof value === "string" ? parse(value) : value);
  };
  JScriptDate.prototype = NativeDate.prototype;
  define(NativeDate.prototype, "constructor", {value: JScriptDate, writable: true, configurable: true});
  define(JScriptDate, "parse", {value: parse, writable: true, configurable: true});
  define(JScriptDate, "UTC", {value: NativeDate.UTC, writable: true, configurable: true});
  define(JScriptDate, "now", {value: NativeDate.now, writable: true, configurable: true});
  define(global, "Date", {value: JScriptDate, writable: true, configurable: true});

  // RegExp.$1 ... $9, index, lastIndex, input, lastMatch, lastParen, leftContext and
  // rightContext tell of the last successful exec, test or non-global match. The match is kept
  // on the run's own global object, so each run starts with none.
  var lastMatchKey = "__jscriptLastMatch";
  function runGlobal() { return (function () { return this; })(); }
  function rememberMatch(result, input) {
    if (result === null) return;
    define(runGlobal(), lastMatchKey, {value: {result: result, input: String(input)}, writable: true, configurable: true});
  }
  function lastMatch() {
    var holder = runGlobal();
    return Object.prototype.hasOwnProperty.call(holder, lastMatchKey) ? holder[lastMatchKey] : null;
  }
  function matchPart(read, none) {
    return {get: function () { var match = lastMatch(); return match === null ? none : read(match); }, configurable: true};
  }
  var nativeExec = RegExp.prototype.exec;
  var execWithMemory = function exec(text) {
    var result = nativeExec.call(this, text);
    rememberMatch(result, text);
    return result;
  };
  define(RegExp.prototype, "exec", {value: execWithMemory, writable: true, configurable: true});
  define(RegExp.prototype, "test", {
    value: function test(text) { return execWithMemory.call(this, text) !== null; },
    writable: true, configurable: true
  });
  var nativeMatch = String.prototype.match;
  define(String.prototype, "match", {
    value: function match(pattern) {
      var result = nativeMatch.call(this, pattern);
      if (!(pattern instanceof RegExp && pattern.global)) rememberMatch(result, this);
      return result;
    },
    writable: true, configurable: true
  });
  for (var group = 1; group <= 9; group++) {
    define(RegExp, "$" + group, matchPart((function (n) {
      return function (match) { var part = match.result[n]; return part === undefined ? "" : part; };
    })(group), ""));
  }
  function endOf(match) { return match.result.index + match.result[0].length; }
  define(RegExp, "index", matchPart(function (match) { return match.result.index; }, -1));
  define(RegExp, "lastIndex", matchPart(endOf, -1));
  define(RegExp, "input", matchPart(function (match) { return match.input; }, ""));
  define(RegExp, "lastMatch", matchPart(function (match) { return match.result[0]; }, ""));
  define(RegExp, "lastParen", matchPart(function (match) {
    var last = match.result[match.result.length - 1];
    return match.result.length > 1 && last !== undefined ? last : "";
  }, ""));
  define(RegExp, "leftContext", matchPart(function (match) { return match.input.slice(0, match.result.index); }, ""));
  define(RegExp, "rightContext", matchPart(function (match) { return match.input.slice(endOf(match)); }, ""));

  // parseInt without a radix reads a leading "0x" as hexadecimal and a leading "0" as octal.
  var nativeParseInt = parseInt;
  define(global, "parseInt", {
    value: function parseInt(text, radix) {
      if (radix === undefined || radix === 0) {
        var digits = String(text).replace(/^[\s\uFEFF\xA0]*[-+]?/, "");
        if (nativeTest.call(/^0[0-9]/, digits)) radix = 8;
      }
      return nativeParseInt(text, radix);
    },
    writable: true, configurable: true
  });
})(this, Error);
)JS";

}  // namespace

void RunPrelude(duk_context* ctx) { duk_eval_string_noresult(ctx, kPrelude); }

}  // namespace jscript
