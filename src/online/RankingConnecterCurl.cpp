// The game's connector on libcurl, apart from the connector itself: the browser's build speaks
// through fetch instead and leaves this file and the curl client out.
#include <memory>
#include "online/CurlHttpClient.h"
#include "online/RankingConnecter.h"

RankingConnecter::RankingConnecter(Env* env, Log* log) : RankingConnecter(env, log, std::make_unique<CurlHttpClient>()) {}
