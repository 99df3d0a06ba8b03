// The VLS grammar under the editor's own TextMate engine: each case is a
// source line (or a few, tokenised in order) and tokens it must hold, each
// with the scope it must get. Run with `node grammar_test.js` after `npm ci`.
'use strict';
const fs = require('fs');
const path = require('path');
const vsctm = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const GRAMMAR = path.join(__dirname, '..', 'syntaxes', 'vls.tmLanguage.json');

// [lines, [[token text, scope], ...]]
const CASES = [
    [['/ a comment with c d e'], [['/ a comment with c d e', 'comment.line.slash.vls']]],
    [['.TEMPO 120 / fast'], [['.TEMPO', 'keyword.other.dot-command.vls'], ['120', 'constant.numeric.vls'],
                             ['/ fast', 'comment.line.slash.vls']]],
    [['.METER 6/8'], [['6/8', 'constant.numeric.meter.vls']]],
    [['.ASSIGN 1 {midi2-10, 128, 1, play, rhythm, Drums}'], [['.ASSIGN', 'keyword.other.dot-command.vls'],
                                                             ['midi2-10', 'support.constant.device.vls']]],
    [['.GS_PRINT "Hello"'], [['"Hello"', 'string.quoted.double.vls']]],
    [['.define arp %1,%2 {%1%2 <%1 >}'], [['.define', 'keyword.control.directive.define.vls'],
                                          ['arp', 'entity.name.function.macro.vls'],
                                          ['%1', 'variable.parameter.macro.vls']]],
    [['.include motifs / the macros'], [['.include', 'keyword.control.directive.include.vls'],
                                        ['motifs', 'string.unquoted.file-name.vls'],
                                        ['/ the macros', 'comment.line.slash.vls']]],
    [['(t1,2) o5 l8 c# d-. r4'], [['(t1,2)', 'entity.name.section.track.vls'], ['o', 'keyword.operator.octave.vls'],
                                  ['l', 'keyword.other.command.vls'], ['c#', 'constant.other.note.vls'],
                                  ['d-', 'constant.other.note.vls'], ['r', 'constant.other.rest.vls'],
                                  ['4', 'constant.numeric.vls']]],
    [['(t1) @v100 @41 < c >'], [['@v', 'keyword.other.at-command.vls'], ['@', 'keyword.other.at-command.vls'],
                                ['<', 'keyword.operator.octave.vls'], ['>', 'keyword.operator.octave.vls']]],
    [['(t1) [segno] c [d.s.] [$] [coda]'], [['[segno]', 'keyword.control.flow.vls'], ['[d.s.]', 'keyword.control.flow.vls'],
                                            ['[$]', 'keyword.control.flow.vls'], ['[coda]', 'keyword.control.flow.vls']]],
    [['(t1) [BEND.SWITCH on] [METER 3/4] c'], [['[', 'punctuation.section.brackets.begin.vls'],
                                               ['BEND.SWITCH', 'support.function.bracket-command.vls'],
                                               ['METER', 'support.function.bracket-command.vls'],
                                               ['on', 'constant.language.parameter.vls'], ['3/4', 'constant.numeric.meter.vls'],
                                               ['c', 'constant.other.note.vls']]],
    [['(t1) |:2 c |1 d :| y91,$40'], [['|:', 'keyword.control.repeat.vls'], [':|', 'keyword.control.repeat.vls'],
                                      ['y', 'keyword.other.command.vls'], ['$40', 'constant.numeric.vls']]],
    // A line after a definition starts afresh.
    [['.define riff {c d}', '(t1) riff'], [['(t1)', 'entity.name.section.track.vls']]],
];

async function main() {
    const wasm = fs.readFileSync(path.join(path.dirname(require.resolve('vscode-oniguruma')), 'onig.wasm'));
    await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
    const registry = new vsctm.Registry({
        onigLib: Promise.resolve({
            createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
            createOnigString: (text) => new oniguruma.OnigString(text),
        }),
        loadGrammar: async (scopeName) => {
            if (scopeName !== 'source.vls') return null;
            return vsctm.parseRawGrammar(fs.readFileSync(GRAMMAR, 'utf8'), GRAMMAR);
        },
    });
    const grammar = await registry.loadGrammar('source.vls');
    let failures = 0;
    for (const [lines, expected] of CASES) {
        const tokens = [];
        let stack = vsctm.INITIAL;
        for (const line of lines) {
            const result = grammar.tokenizeLine(line, stack);
            for (const token of result.tokens)
                tokens.push({ text: line.slice(token.startIndex, token.endIndex), scopes: token.scopes });
            stack = result.ruleStack;
        }
        for (const [text, scope] of expected) {
            if (tokens.some((t) => t.text === text && t.scopes.includes(scope))) continue;
            failures++;
            console.log(`FAIL ${JSON.stringify(lines.join('\n'))}: "${text}" should be ${scope}; tokens:`);
            for (const t of tokens) console.log(`    ${JSON.stringify(t.text)} ${t.scopes.join(' ')}`);
        }
    }
    console.log(`${CASES.length} cases, ${failures} failures`);
    process.exit(failures ? 1 : 0);
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
