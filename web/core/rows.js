// A list of a folder's row summaries that the update never changes: with(index,
// value) gives a new list that shares every chunk but one with the old, so
// a thousand rows filled one at a time copy a chunk and the chunk table
// each time, not the whole list (which would be garbage for the page to
// hold until its collector runs).
const chunkSize = 64;

export class Rows {
    constructor(chunks, length) {
        this.chunks = chunks;
        this.length = length;
    }

    static empty(length) {
        const chunks = [];
        // Stryker disable next-line EqualityOperator: an empty chunk past the last row is never read
        for (let at = 0; at < length; at += chunkSize) {
            // Stryker disable next-line ArrayDeclaration,MethodExpression,ArithmeticOperator: slots past the last row are never read, and one not filled reads as no summary
            chunks.push(new Array(Math.min(chunkSize, length - at)).fill(null));
        }
        return new Rows(chunks, length);
    }

    at(index) {
        return this.chunks[Math.floor(index / chunkSize)][index % chunkSize];
    }

    with(index, value) {
        const chunks = [...this.chunks];
        const chunk = [...chunks[Math.floor(index / chunkSize)]];
        chunk[index % chunkSize] = value;
        chunks[Math.floor(index / chunkSize)] = chunk;
        return new Rows(chunks, this.length);
    }
}
