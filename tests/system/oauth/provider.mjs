// The OpenID provider of the OAuth2 journey: oidc-provider on 127.0.0.1 with one native test
// client, breezel-test (no secret, PKCE required, loopback redirect on any port), and its own
// sign-in pages, where any login name is an account whose sub is that name.
//
//   node provider.mjs --port-file FILE --issued FILE [--access-ttl SECONDS]
//
// Writes its port to --port-file once it accepts requests. Every token and code it hands out is
// appended to --issued ("kind value" a line): the test looks for them where they must not be.
// Its log (stdout) names requests by path and status only, never a value. Besides the standard
// endpoints: POST /test/revoke?account=NAME withdraws every grant of that account, as a user
// does at the provider's account page.
import { appendFileSync, renameSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { parseArgs } from 'node:util';

import Provider from 'oidc-provider';

const { values: options } = parseArgs({
  options: {
    'port-file': { type: 'string' },
    issued: { type: 'string' },
    'access-ttl': { type: 'string', default: '3600' },
  },
});
if (!options['port-file'] || !options.issued) {
  console.error('usage: provider.mjs --port-file FILE --issued FILE [--access-ttl SECONDS]');
  process.exit(2);
}
const accessTtl = Number(options['access-ttl']);

const log = (line) => console.log(`${new Date().toISOString()} ${line}`);

// The issuer names the port, so the port comes first.
const server = createServer();
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const { port } = server.address();

const provider = new Provider(`http://127.0.0.1:${port}`, {
  clients: [
    {
      client_id: 'breezel-test',
      application_type: 'native',
      token_endpoint_auth_method: 'none',
      grant_types: ['authorization_code', 'refresh_token'],
      response_types: ['code'],
      redirect_uris: ['http://127.0.0.1/'],
    },
  ],
  scopes: ['openid', 'email', 'offline_access'],
  claims: { openid: ['sub'], email: ['email'] },
  pkce: { required: () => true },
  features: { devInteractions: { enabled: true } },
  // Expiry exactly when the lifetime says: the journey waits it out.
  clockTolerance: 0,
  ttl: { AccessToken: accessTtl, AuthorizationCode: 60, RefreshToken: 3600, Grant: 3600 },
  cookies: { keys: ['breezel-test-cookie-key'] },
  async findAccount(ctx, sub) {
    return { accountId: sub, claims: async () => ({ sub, email: `${sub}@breezel.test` }) };
  },
});

const grantsOf = new Map();
const issued = (kind) => (token) => {
  appendFileSync(options.issued, `${kind} ${token.jti}\n`);
  if (token.grantId) {
    if (!grantsOf.has(token.accountId)) grantsOf.set(token.accountId, new Set());
    grantsOf.get(token.accountId).add(token.grantId);
  }
};
provider.on('authorization_code.saved', issued('code'));
provider.on('access_token.saved', issued('access'));
provider.on('refresh_token.saved', issued('refresh'));
provider.on('grant.revoked', () => log('grant revoked'));
provider.on('server_error', (ctx, error) => log(`server error: ${error.message}`));

// Path and status, with the grant type and the account where there is one: what the journey
// reads. The path never carries a value (Dovecot's tokeninfo query is past it).
provider.use(async (ctx, next) => {
  await next();
  const { oidc } = ctx;
  const grantType = ctx.path === '/token' ? oidc?.params?.grant_type : undefined;
  const account = oidc?.entities?.AccessToken?.accountId ?? oidc?.entities?.Account?.accountId;
  const error = ctx.status >= 400 ? ctx.body?.error : undefined;
  log(
    [ctx.method, ctx.path, ctx.status, grantType && `grant_type=${grantType}`,
      account && `account=${account}`, error && `error=${error}`]
      .filter(Boolean)
      .join(' '),
  );
});

const revokeRoute = async (request, response) => {
  const account = new URL(request.url, 'http://127.0.0.1').searchParams.get('account');
  const grants = [...(grantsOf.get(account) ?? [])];
  grantsOf.delete(account);
  await Promise.all(
    grants.flatMap((grantId) => [
      provider.AccessToken.revokeByGrantId(grantId),
      provider.RefreshToken.revokeByGrantId(grantId),
      provider.Grant.adapter.destroy(grantId),
    ]),
  );
  log(`POST /test/revoke account=${account}: ${grants.length} grant(s) withdrawn`);
  response.writeHead(200, { 'content-type': 'text/plain' }).end(`${grants.length}\n`);
};

const callback = provider.callback();
server.on('request', (request, response) => {
  if (request.method === 'POST' && request.url.startsWith('/test/revoke?')) {
    revokeRoute(request, response);
  } else {
    callback(request, response);
  }
});

// Written whole, so that a reader never sees half a number.
writeFileSync(`${options['port-file']}.tmp`, `${port}\n`);
renameSync(`${options['port-file']}.tmp`, options['port-file']);
log(`listening on 127.0.0.1:${port}, access tokens last ${accessTtl} s`);

for (const signal of ['SIGTERM', 'SIGINT']) {
  process.on(signal, () => {
    server.close();
    process.exit(0);
  });
}
