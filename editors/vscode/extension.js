// Starts vls-language-server for VLS documents and passes it the warning level.
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

let client;

function activate(context) {
    const settings = vscode.workspace.getConfiguration('vls');
    const command = settings.get('serverPath', 'vls-language-server');
    const serverOptions = {
        run: { command, transport: TransportKind.stdio },
        debug: { command, transport: TransportKind.stdio },
    };
    const clientOptions = {
        documentSelector: [{ language: 'vls' }],
        initializationOptions: { warningLevel: settings.get('warningLevel', 3) },
        // The server reads `vls.warningLevel` from workspace/didChangeConfiguration.
        synchronize: { configurationSection: 'vls' },
    };
    client = new LanguageClient('vls', 'VLS language server', serverOptions, clientOptions);
    context.subscriptions.push({ dispose: () => client && client.stop() });
    return client.start();
}

function deactivate() {
    return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
