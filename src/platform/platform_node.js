#!/usr/bin/env node
// srtx on Node: put at the head of the WebAssembly build's srtx.js.
//
// The program name the usage line shows is the one the user typed where Node
// was started under that name (a launcher can set argv[0]); when Node itself
// was named, as a script's first line does, it is the script's own name
// without ".js", so the package's command reads "srtx".
var Module = {
    preRun: [function () {
        orderedStreams(FS);
    }],
    thisProgram: (function () {
        var path = require('path');
        var typed = process.argv0;
        if (/^node(js)?(\.exe)?$/i.test(path.basename(typed)) || typed === process.execPath) {
            return path.basename(process.argv[1] || 'srtx').replace(/\.js$/, '');
        }
        return typed;
    })(),
};
