#pragma once
class Storage;

// What a load balancer's health check asks: does the database answer a query now?
bool databaseAnswers(Storage& storage);
