// The listing view: one page of the stream table, read from the tool's own
// output by srtxListingReader. Nothing here reads the format: every fact
// comes from what srtx printed.
'use strict';

const srtxListing = (() => {
    const pageSize = 200;

    // Fills the table body with one page of streams: index, word, warning,
    // and the cell that actions (dump) go in, made by addActions(cell, index).
    function renderPage(body, listing, page, addActions) {
        body.replaceChildren();
        const first = page * pageSize;
        const last = Math.min(first + pageSize, listing.words.length);
        for (let index = first; index < last; ++index) {
            const row = body.insertRow();
            row.insertCell().textContent = String(index);
            row.insertCell().textContent = String(listing.words[index]);
            const warning = row.insertCell();
            if (listing.badSize.has(index)) {
                warning.textContent = 'BAD SIZE';
                warning.title = 'this DSP entry does not follow the one before it 144 bytes on';
                row.classList.add('warned');
            }
            addActions(row.insertCell(), index);
        }
        // The streams shown, numbered as the Stream column numbers them.
        return {
            first,
            last: last - 1,
            pages: Math.max(1, Math.ceil(listing.words.length / pageSize)),
        };
    }

    return { renderPage };
})();
