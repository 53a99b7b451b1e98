// sprite.cpp: (being written) the cowboy and the bottle.
#include "sprite.h"
Player::Player(SDL_Surface* s, imgbase i) : img(i), whiskeyCount(0), dead(false), canShoot(true), shooting(false),
    x(100), y(100), smer('r'), motion('s'), rect(), screen(s), frame(0), animTime(0), delta(0), deadTime(0),
    speed(0.2f), reloadTime(0) {}
Player::~Player() {}
void Player::wRight() {}
void Player::wLeft() {}
void Player::wDown() {}
void Player::wUp() {}
void Player::setDelta(float d) { delta = d; }
void Player::anim() {}
void Player::draw() {}
char Player::getSmer() { return smer; }
void Player::die() {}
void Player::shoot() {}
void Whiskey::draw(SDL_Surface*, float) {}
bool Whiskey::kolid(SDL_Rect) { return false; }
