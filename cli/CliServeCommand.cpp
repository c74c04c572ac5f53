// serve: the register's commands over HTTP (the service lives in serve/).
#include "cli/CliCommand.h"

#include "serve/ServeHttp.h"
#include "serve/ServeToken.h"

namespace {

int Serve(TCliContext& ctx) {
    TServeOptions options;
    if (!ctx.Tool.Listen.empty()) options.Listen = ctx.Tool.Listen;
    options.TokenFile = ctx.Tool.TokenFile;
    options.AllowRemote = ctx.Tool.AllowRemote;
    return RunServe(options, ctx.Out, ctx.Err);
}

}  // namespace

void AddServeCommand() {
    AddCliCommand({"serve", "[--listen ADDR:PORT] [--token-file FILE] [--allow-remote]",
                   "answer HTTP requests for the registers (JSON API and web page)",
                   std::string("Serves the JSON API of docs/API.md under /api/v1 and the web page at /, on\n"
                               "127.0.0.1:8765 unless --listen gives another address (port 0: any free\n"
                               "port, named in the start-up line). Every API request needs the header\n"
                               "\"Authorization: Bearer <token>\"; the token is in the file ") +
                       ServeTokenFileName +
                       " of the working\n"
                       "directory (or --token-file FILE), made at the first start, readable by its\n"
                       "owner only. An address other than loopback needs --allow-remote: the traffic\n"
                       "is not encrypted. Speed and network number default to VornikConfig.ini.\n"
                       "Runs until SIGINT or SIGTERM, then finishes the running exchanges and stops.\n",
                   false, 0, 0, Serve});
}
