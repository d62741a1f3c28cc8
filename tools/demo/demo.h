#pragma once

// A scripted MCP client: starts the GUI program's stand-in and the sidecar found beside this
// program in a throw-away home, plays a short session and prints the transcript ("> " request,
// "< " answer).
namespace quorvelin::demo {

int runDemo();

} // namespace quorvelin::demo
