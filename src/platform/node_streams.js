// srtx on Node: pipes, FIFOs, sockets and character devices are written and
// read in order, as write() and read() do, never at a position (pwrite, which
// they refuse with ESPIPE). Every module built for Node calls this before its
// run, with its file system.
function orderedStreams(FS) {
    var fs = require('fs');
    var openFile = FS.open;
    FS.open = function () {
        var stream = openFile.apply(this, arguments);
        if (stream.nfd !== undefined) {
            var status = fs.fstatSync(stream.nfd);
            if (status.isFIFO() || status.isCharacterDevice() || status.isSocket()) {
                stream.seekable = false;
            }
        }
        return stream;
    };
}
if (typeof module !== 'undefined') {
    module.exports = orderedStreams;
}
