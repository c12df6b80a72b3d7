/* Reach: whether the player answers. Every request the HttpDeck makes
   reports here how it ended (HttpDeck.onReach): any HTTP answer means the
   player was reached; a refused connection, a network error or a time-out
   means it was not. After a request that did not reach it, the page shows
   a status line saying so (role "status", so screen readers announce it);
   the regular refreshes keep asking, and the first answer that comes back
   takes the line away and runs onBack, so the page catches up by itself. */
function Reach(line) {
  "use strict";
  this.line = line;
  this.lost = false;
  this.onBack = null;           // set by the page: refresh what it shows
  this.show();
}

Reach.prototype.answered = function (reached) {
  if (reached === !this.lost) return;
  this.lost = !reached;
  this.show();
  if (reached && this.onBack) this.onBack();
};

Reach.prototype.show = function () {
  this.line.textContent = this.lost ? "The player cannot be reached. Trying again\u2026" : "";
  this.line.classList.toggle("hidden", !this.lost);
};
